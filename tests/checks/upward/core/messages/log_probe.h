#pragma once
// A file of a low room that reaches up to the sequences: the layer check must refuse it.
#include "core/messages/log_model.h"
#include "core/device/sequence_probe.h"
