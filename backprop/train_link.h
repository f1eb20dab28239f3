// The per-link training rules, shared by the slab routine and its tests.
#pragma once

#include "backprop/backprop.h"

namespace koru::bp {

// Which rule trains a link: the training rule of the net's type.
using Rule = TrainingRule;

// Whether the link keeps every array its rule needs (always so for links made
// by the library; a record lacking one is left untrained).
bool HasRuleArrays(const LinkRecord& link, Rule rule);

// Trains one link of status 2 from source A to destination B with B's deltas
// and, unless noBackprop, adds each source neuron's share of the error (the
// destination delta times the weight just updated) into A's deltas. The
// bias row is trained with input 1 and never carries error back.
void TrainLinkGradientFloat(LinkRecord& link, Rule rule, const TrainingParameters& parameters, bool noBackprop);
void TrainLinkGradientFixed(LinkRecord& link, Rule rule, const TrainingParameters& parameters, bool noBackprop);
void TrainLinkAdaptiveFloat(LinkRecord& link, const TrainingParameters& parameters, bool noBackprop);
void TrainLinkAdaptiveFixed(LinkRecord& link, const TrainingParameters& parameters, bool noBackprop);

}  // namespace koru::bp
