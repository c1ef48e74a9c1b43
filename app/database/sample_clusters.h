#pragma once
// Purpose: groups a person's samples by likeness, to show when a sample set mixes several people.
// Threads: any (ClusterSamples); the user-interface thread for ShowSampleClusters, which tells
//          the operator.
// Owns: nothing.

#include "app/database/operator_dialogs.h"
#include "app/recognition/face_descriptor.h"

#include <vector>

namespace database {

// Closer than this counts as the same person.
constexpr float kSamePersonDistance = 0.5f;

struct SampleClusters {
    int count = 0;
    std::vector<int> labels;  // 0-based, one per descriptor
};

// dlib's chinese whispers (100 iterations, default-seeded) on the pairs closer than 0.5, each
// descriptor linked with itself too.
SampleClusters ClusterSamples(const std::vector<recognition::FaceDescriptor>& descriptors);

// The "Кластеры" command: clusters and tells the operator. Returns the cluster label to show per
// descriptor: 0 (none) for all when they form one cluster, else the cluster number from 1.
// Needs two or more descriptors; with fewer, all labels are 0 and nothing is said.
std::vector<int> ShowSampleClusters(OperatorDialogs& dialogs,
                                    const std::vector<recognition::FaceDescriptor>& descriptors);

}  // namespace database
