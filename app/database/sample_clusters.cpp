#include "app/database/sample_clusters.h"

#include "app/database/sample_texts.h"
#include "app/recognition/matching.h"

#include <dlib/clustering/chinese_whispers.h>

namespace database {

SampleClusters ClusterSamples(const std::vector<recognition::FaceDescriptor>& descriptors) {
    std::vector<dlib::sample_pair> edges;
    for (size_t i = 0; i < descriptors.size(); ++i) {
        for (size_t j = i; j < descriptors.size(); ++j) {
            // A descriptor is always linked with itself (distance 0), also a damaged one whose
            // distances are NaN, so that every descriptor gets its label.
            if (j == i || recognition::DescriptorDistance(descriptors[i], descriptors[j]) < kSamePersonDistance) {
                edges.emplace_back(i, j);
            }
        }
    }
    std::vector<unsigned long> labels;
    SampleClusters clusters;
    clusters.count = static_cast<int>(dlib::chinese_whispers(edges, labels));
    clusters.labels.assign(labels.begin(), labels.end());
    return clusters;
}

std::vector<int> ShowSampleClusters(OperatorDialogs& dialogs,
                                    const std::vector<recognition::FaceDescriptor>& descriptors) {
    std::vector<int> shown(descriptors.size(), 0);
    if (descriptors.size() < 2) return shown;
    const SampleClusters clusters = ClusterSamples(descriptors);
    if (clusters.count <= 1) {
        dialogs.ShowTimedNotice(OneClusterNotice(), NoticeIcon::Information, std::chrono::milliseconds(3000));
        return shown;
    }
    for (size_t i = 0; i < shown.size(); ++i) shown[i] = clusters.labels[i] + 1;
    dialogs.ShowTimedNotice(ClustersNotice(clusters.count), NoticeIcon::Information, std::chrono::milliseconds(5000));
    return shown;
}

}  // namespace database
