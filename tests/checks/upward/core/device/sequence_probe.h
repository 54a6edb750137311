#pragma once
// A file of the top room that uses the bottom one, as it may.
#include "core/app/log_model.h"
