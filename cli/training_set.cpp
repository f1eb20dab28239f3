// training_set.cpp - the portable shuffle of the training order and the
// report of an epoch.
#include "training_set.h"

#include <utility>

namespace koru_cli {

void ReportEpoch(const TrainingJob& job, int epoch, double trainError, double validationError) {
    if (job.curve) {
        job.curve->x.push_back(epoch);
        job.curve->training.push_back(trainError);
        if (job.validation.Size() > 0) {
            job.curve->validation.push_back(validationError);
        }
    }
    if (job.progress) {
        job.progress->Update(epoch, trainError, validationError);
    }
}

void ShuffleOrder(std::vector<size_t>& order, std::mt19937& random) {
    for (size_t i = order.size(); i > 1; --i) {
        // The slight bias of the remainder (below 1e-6 for any real data
        // set) does not matter for an epoch order.
        size_t j = static_cast<size_t>(random() % i);
        std::swap(order[i - 1], order[j]);
    }
}

}  // namespace koru_cli
