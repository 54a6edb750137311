#pragma once
// A file of the bottom room that reaches up to the sequences: the layer check must refuse it.
#include "core/app/log_model.h"
#include "core/device/sequence_probe.h"
