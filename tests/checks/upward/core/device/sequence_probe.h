#pragma once
// A file of a high room that uses a lower one, as it may.
#include "core/messages/log_model.h"
