// lvq_trainer.h - training a learning vector quantisation net (LVQ1).
//
// Slab 0 holds the inputs and slab 1 (an output slab) the units, `unitsPerClass`
// per class, units of one class side by side; link 0 from slab 0 to slab 1
// holds one weight vector per unit, each started on a randomly chosen
// training pattern of its class. The engine knows no classes: per pattern the
// trainer calls LvqPropagate and LvqEvaluate on slab 1, then LvqTrain on slab
// 0 with +rate when the winning unit belongs to the pattern's class and -rate
// when it does not. The rate falls linearly from --rate to --final-rate over
// the epochs, and the neighbourhood radius from --radius to 0.
#ifndef KORU_CLI_LVQ_TRAINER_H
#define KORU_CLI_LVQ_TRAINER_H

#include "library_call.h"
#include "model_metadata.h"
#include "training_set.h"

#include <string>
#include <vector>

namespace koru_cli {

struct LvqOptions {
    std::string variant = "distance";  // distance | dot
    int unitsPerClass = 5;  // 2 fell short on digits and breast cancer
    double rate = 0.1;
    double finalRate = 0.001;
    int radius = 0;
    int gridWidth = 0;                  // 0: the units in one row
    int epochs = 100;
    std::string format = "float";
};

void TrainLvq(const NetSlot& slot, const LvqOptions& options, const TrainingJob& job,
              ModelMetadata& metadata);

// The class of the winning unit for one scaled input; `unitClasses` is the
// model's "lvq.unit_classes" list, checked against the `classes` it names.
int LvqClass(const int16_t* net, const std::vector<int>& unitClasses, size_t classes,
             const std::vector<float>& input);

}  // namespace koru_cli

#endif
