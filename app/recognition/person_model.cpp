#include "app/recognition/person_model.h"

#include "app/recognition/sample_pack.h"
#include "app/recognition/scan_helper.h"

#include <new>
#include <system_error>

namespace recognition {

PersonModelSet::PersonModelSet() = default;
PersonModelSet::~PersonModelSet() = default;
PersonModelSet::PersonModelSet(PersonModelSet&&) noexcept = default;
PersonModelSet& PersonModelSet::operator=(PersonModelSet&&) noexcept = default;

void PersonModelSet::Append(std::unique_ptr<PersonModel> model) {
    pack_.reset();
    list_.Append(std::move(model));
}

std::unique_ptr<PersonModel> PersonModelSet::Remove(uint32_t position) {
    pack_.reset();
    return list_.Remove(position);
}

std::unique_ptr<PersonModel> PersonModelSet::Replace(uint32_t position, std::unique_ptr<PersonModel> model) {
    pack_.reset();
    return list_.Replace(position, std::move(model));
}

void PersonModelSet::Clear() {
    pack_.reset();
    list_.Clear();
}

PersonModelSet::Storage PersonModelSet::TakeAll() {
    pack_.reset();
    return list_.TakeAll();
}

bool PersonModelSet::RebuildPack() {
    pack_.reset();
    try {
        pack_ = std::make_unique<SamplePack>(*this);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (pack_->Count() >= SamplePack::kSplitSamples && !helper_) {
        try {
            helper_ = std::make_unique<ScanHelper>();
        } catch (const std::system_error&) {
            // Matches then run on the calling thread alone.
        }
    }
    return true;
}

}  // namespace recognition
