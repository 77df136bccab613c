// The fingerprint stage of DuplicateFinder: each same-song group is checked by listening. Every
// member is fingerprinted by fpcalc; members that sound alike (similarity 0.75 or more to the
// member that seeded their cluster) form confirmed groups, and members without a fingerprint or
// without a match are dropped.
#include "audio/dupes/DuplicateFinder.h"

namespace quorvanta::audio {

namespace {

constexpr double kAlike = 0.75;

}  // namespace

void DuplicateFinder::setFingerprintProgramForTesting(FingerprintProgram program) {
    fingerprintProgram_ = std::move(program);
}

std::vector<DupGroup> DuplicateFinder::confirmWithFingerprints(std::vector<DupGroup> groups,
                                                               const ProgressFn& progress) const {
    const std::optional<std::string> fpcalc = fingerprintProgram_.locate ? fingerprintProgram_.locate() : std::nullopt;
    if (!fpcalc) {
        notify(progress, {DupStage::fingerprint, 0, 0, static_cast<std::int64_t>(groups.size())});
        return groups;
    }
    if (groups.empty()) return {};

    std::int64_t total = 0;
    for (const DupGroup& group : groups) total += static_cast<std::int64_t>(group.members.size());
    std::int64_t done = 0;
    std::vector<DupGroup> out;
    for (DupGroup& group : groups) {
        if (isCancelled()) {
            out.push_back(std::move(group));
            continue;
        }
        const auto known = static_cast<std::int64_t>(out.size());
        std::vector<std::optional<Fingerprint>> prints;
        for (const DupMember& member : group.members) {
            prints.push_back(fingerprint(member.path, *fpcalc, kFingerprintSeconds, fingerprintProgram_.timeLimit));
            notify(progress, {DupStage::fingerprint, ++done, total, known});
        }

        // Seeded clustering in member order: a member joins the first labelled member it is
        // alike with, and a label never changes.
        std::vector<int> label(prints.size(), -1);
        int labels = 0;
        for (std::size_t i = 0; i < prints.size(); ++i) {
            if (!prints[i]) continue;
            if (label[i] < 0) label[i] = labels++;
            for (std::size_t j = i + 1; j < prints.size(); ++j) {
                if (prints[j] && label[j] < 0 && similarity(*prints[i], *prints[j]) >= kAlike) label[j] = label[i];
            }
        }
        for (int l = 0; l < labels; ++l) {
            DupGroup confirmed;
            confirmed.id = group.id;
            confirmed.kind = group.kind;
            confirmed.confirmed = true;
            for (std::size_t i = 0; i < prints.size(); ++i) {
                if (label[i] == l) confirmed.members.push_back(group.members[i]);
            }
            if (confirmed.members.size() < 2) continue;
            confirmed.keep = best(confirmed.members);
            out.push_back(std::move(confirmed));
        }
    }
    return out;
}

}  // namespace quorvanta::audio
