// Refresh: brings an index up to date for a set of folders without a rescan. The named folders
// form a tree of nodes under the roots; one ascending pass over the entries finds each node's
// folder and live children (and, below recursive nodes, every known folder); then each target
// folder is listed once and compared with its children by exact name bytes.
//
// Paths are raw bytes throughout: a name that is not UTF-8 is joined as it is stored, so the
// path names the real folder.
#include "QuorvantaCore/index/VolumeIndex.h"

#include "QuorvantaCore/index_engine/FolderReader.h"
#include "platform/fs/PathText.h"
#include "platform/thread/Relaxed.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace quorvanta::core {
namespace {

constexpr std::uint32_t kNoNode = 0xFFFFFFFFu;
// Bits whose change makes an entry another kind of object: removed and added again.
constexpr std::uint8_t kKindBits = FIDX_FOLDER | FIDX_SYMLINK;
// The bits a folder's listing records inherit.
constexpr std::uint8_t kInheritedBits = FIDX_HIDDEN | FIDX_JUNK;

struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
template <class V>
using NameMap = std::unordered_map<std::string, V, NameHash, std::equal_to<>>;

struct Node {
    std::string path;
    NameMap<std::uint32_t> kids;  // child nodes by exact name bytes
    bool target = false;
    bool recursive = false;
    std::int64_t found = -1;              // the folder's entry; -1 while unknown
    std::vector<std::uint32_t> children;  // live children, gathered by the pass for targets
};

bool excluded(const std::vector<std::string>& excludes, std::string_view path) {
    return std::any_of(excludes.begin(), excludes.end(),
                       [&](const std::string& e) { return platform::isSameOrUnder(path, e); });
}

std::string_view nameAt(const fidx* h, std::uint32_t i) {
    return reinterpret_cast<const char*>(h->names + h->name_off[i]);
}

std::string_view recordName(const fidx_listing& l, const fidx_rec& r) {
    return reinterpret_cast<const char*>(l.names + r.name);
}

std::uint8_t flagsAt(const fidx* h, std::uint32_t i) { return platform::relaxed(h->flags[i]); }

// The nodes named by the targets, with their ancestors up to a root.
class TargetTree {
public:
    explicit TargetTree(const std::vector<std::pair<std::uint32_t, std::string>>& roots) : roots_(roots) {}

    // The node of a path under a root (created with its ancestors), or kNoNode.
    std::uint32_t nodeFor(std::string_view path) {
        for (const auto& [entry, root] : roots_) {
            const std::optional<std::string_view> below = platform::pathBelow(path, root);
            if (!below) continue;
            std::uint32_t node = rootNode(entry, root);
            std::string_view rest = *below;
            while (!rest.empty()) {
                const std::size_t slash = rest.find('/');
                const std::string_view part = rest.substr(0, slash);
                rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
                if (part.empty()) continue;
                const auto it = nodes[node].kids.find(part);
                if (it != nodes[node].kids.end()) {
                    node = it->second;
                    continue;
                }
                const std::uint32_t kid = add(platform::joinPath(nodes[node].path, part));
                nodes[node].kids.emplace(std::string(part), kid);
                node = kid;
            }
            return node;
        }
        return kNoNode;
    }

    std::uint32_t nodeOfRoot(std::uint32_t entry) const {
        const auto it = rootNodes_.find(entry);
        return it == rootNodes_.end() ? kNoNode : it->second;
    }

    std::uint32_t add(std::string path) {
        Node node;
        node.path = std::move(path);
        nodes.push_back(std::move(node));
        return static_cast<std::uint32_t>(nodes.size() - 1);
    }

    std::vector<Node> nodes;

private:
    std::uint32_t rootNode(std::uint32_t entry, const std::string& root) {
        const auto [it, fresh] = rootNodes_.try_emplace(entry, 0);
        if (fresh) it->second = add(root);
        return it->second;
    }

    const std::vector<std::pair<std::uint32_t, std::string>>& roots_;
    std::unordered_map<std::uint32_t, std::uint32_t> rootNodes_;
};

}  // namespace

RefreshStats VolumeIndex::refresh(const std::set<std::string>& dirs, const std::set<std::string>& recursive,
                                  int threads) {
    std::lock_guard serial(refreshLock_);
    fidx* const h = s_.get();
    const int scanThreads = std::clamp(threads, 1, 256);
    RefreshStats out;

    const auto roots = rootEntries();
    if (!rootsPresent(roots)) {
        out.rootMissing = true;
        return out;
    }

    TargetTree tree(roots);
    bool anyTarget = false;
    for (const std::string& path : recursive) {
        if (excluded(excludes_, path)) continue;
        for (const auto& [entry, root] : roots)
            if (path == root) {
                out.fullRescan = true;
                return out;
            }
        const std::uint32_t node = tree.nodeFor(path);
        if (node == kNoNode) continue;
        tree.nodes[node].target = tree.nodes[node].recursive = true;
        anyTarget = true;
    }
    for (const std::string& path : dirs) {
        if (excluded(excludes_, path)) continue;
        const std::uint32_t node = tree.nodeFor(path);
        if (node == kNoNode) continue;
        tree.nodes[node].target = true;
        anyTarget = true;
    }
    if (!anyTarget) return out;

    // The pass: parents precede their children, so one ascending walk reaches every folder of
    // a recursive subtree. Nodes it creates are appended and processed after the others.
    const std::uint32_t startCount = fidx_count(h);
    std::vector<std::uint32_t> nodeOf(startCount, kNoNode);
    for (std::uint32_t i = 0; i < startCount; ++i) {
        const std::uint8_t f = flagsAt(h, i);
        if (f & FIDX_ROOT) {
            const std::uint32_t node = tree.nodeOfRoot(i);
            if (node != kNoNode) {
                tree.nodes[node].found = i;
                nodeOf[i] = node;
            }
            continue;
        }
        const std::uint32_t p = h->parent[i];
        if (p >= startCount || f & FIDX_DELETED) continue;
        const std::uint32_t n = nodeOf[p];
        if (n == kNoNode) continue;
        if (tree.nodes[n].target) tree.nodes[n].children.push_back(i);
        if (!(f & FIDX_FOLDER)) continue;
        const std::string_view name = nameAt(h, i);
        const auto kid = tree.nodes[n].kids.find(name);
        if (kid != tree.nodes[n].kids.end()) {
            Node& k = tree.nodes[kid->second];
            k.found = i;
            if (tree.nodes[n].recursive) k.target = k.recursive = true;
            nodeOf[i] = kid->second;
        } else if (tree.nodes[n].recursive) {
            // The contents of an excluded folder are never entered, by a scan or by this walk.
            std::string path = platform::joinPath(tree.nodes[n].path, name);
            if (excluded(excludes_, path)) continue;
            const std::uint32_t k = tree.add(std::move(path));
            tree.nodes[k].target = tree.nodes[k].recursive = true;
            tree.nodes[k].found = i;
            tree.nodes[n].kids.emplace(std::string(name), k);
            nodeOf[i] = k;
        }
    }

    std::vector<std::uint32_t> movedSize, movedDate, movedCreated;
    bool folderRemoved = false;
    // Counts only deletions this call made, so overlapping callers never count one twice.
    auto remove = [&](std::uint32_t i) {
        if (fidx_set_deleted(h, i) != 1) return;
        ++out.removed;
        if (flagsAt(h, i) & FIDX_FOLDER) folderRemoved = true;
    };
    auto deletedOrBelowDeleted = [&](std::uint32_t i) {
        for (std::uint32_t e = i, steps = 0; e < startCount && steps <= startCount; e = h->parent[e], ++steps)
            if (flagsAt(h, e) & FIDX_DELETED) return true;
        return false;
    };

    for (std::size_t nodeIndex = 0; nodeIndex < tree.nodes.size(); ++nodeIndex) {
        const Node& node = tree.nodes[nodeIndex];
        if (!node.target || node.found < 0) continue;
        const auto f = static_cast<std::uint32_t>(node.found);
        if (deletedOrBelowDeleted(f)) continue;
        const std::string& path = node.path;
        const bool isRoot = flagsAt(h, f) & FIDX_ROOT;

        fidx_listing listing{};
        struct Release {
            fidx_listing& l;
            ~Release() { fidx_listing_free(&l); }
        } release{listing};
        const std::uint8_t inherited = flagsAt(h, f) & kInheritedBits;
        // A root is listed as the scan read it, through a link if it was given as one.
        if (path.find('\0') != std::string::npos ||
            index_engine::listFolder(h, path.c_str(), inherited, isRoot, &listing) != 0) {
            const int error = path.find('\0') != std::string::npos ? ENOENT : errno;
            // A vanished folder goes only while every root is still there: a volume that left
            // takes no entry with it.
            if ((error == ENOENT || error == ENOTDIR) && !isRoot && rootsPresent(roots)) remove(f);
            continue;
        }
        ++out.listed;

        NameMap<std::uint32_t> byName;
        byName.reserve(listing.count);
        for (std::uint32_t r = 0; r < listing.count; ++r)
            byName.insert_or_assign(std::string(recordName(listing, listing.recs[r])), r);
        std::vector<bool> seen(listing.count, false);

        for (const std::uint32_t c : node.children) {
            const auto it = byName.find(nameAt(h, c));
            const std::uint8_t cf = flagsAt(h, c);
            if (it == byName.end() || ((listing.recs[it->second].flags ^ cf) & kKindBits)) {
                remove(c);  // gone, or another kind of object now: the record is added anew
                continue;
            }
            const fidx_rec& r = listing.recs[it->second];
            seen[it->second] = true;
            const bool sizeChanged = r.size != size(c);
            const bool dateChanged = r.mtime != mtime(c);
            const bool createdChanged = r.ctime != ctime(c);
            if (!sizeChanged && !dateChanged && !createdChanged) continue;
            fidx_set_meta(h, c, r.size, r.mtime, r.ctime);
            ++out.updated;
            if (sizeChanged) movedSize.push_back(c);
            if (dateChanged) movedDate.push_back(c);
            if (createdChanged) movedCreated.push_back(c);
        }

        std::vector<std::uint32_t> fresh;
        for (std::uint32_t r = 0; r < listing.count; ++r)
            if (!seen[r]) fresh.push_back(r);

        // The folder's own times are read after every listing, not only when its contents
        // changed: a folder whose time moved with nothing to show for it (a file made and
        // removed in between) would otherwise keep its old time and be listed again by every
        // later reconcile.
        index_engine::EntryTimes own;
        if (!isRoot && index_engine::statTimes(path.c_str(), own)) {
            const bool dateChanged = own.mtime != mtime(f);
            const bool createdChanged = own.ctime != ctime(f);
            if (dateChanged) movedDate.push_back(f);
            if (createdChanged) movedCreated.push_back(f);
            if (dateChanged || createdChanged) {
                fidx_set_meta(h, f, size(f), own.mtime, own.ctime);
                ++out.updated;
            }
        }

        if (fresh.empty()) continue;
        const std::uint32_t base = fidx_append(h, f, &listing, fresh.data(), static_cast<std::uint32_t>(fresh.size()));
        if (base == FIDX_NONE) continue;  // the index is full: the engine's overflow flag tells
        out.added += static_cast<std::int64_t>(fresh.size());
        for (std::size_t k = 0; k < fresh.size(); ++k) {
            const fidx_rec& r = listing.recs[fresh[k]];
            if ((r.flags & (FIDX_FOLDER | FIDX_OTHER_DEVICE)) != FIDX_FOLDER) continue;
            const std::string child = platform::joinPath(path, recordName(listing, r));
            if (excluded(excludes_, child)) continue;
            // A folder that vanished since the listing stays an entry without children.
            fidx_scan_under(h, child.c_str(), base + static_cast<std::uint32_t>(k), r.flags & kInheritedBits,
                            scanThreads, nullptr);
        }
    }

    // Entries below removed folders, appended ones included; parents precede children.
    if (folderRemoved) {
        const std::uint32_t end = fidx_count(h);
        for (std::uint32_t i = 0; i < end; ++i) {
            const std::uint32_t p = h->parent[i];
            if (p != FIDX_NONE && !(flagsAt(h, i) & FIDX_DELETED) && (flagsAt(h, p) & FIDX_DELETED)) remove(i);
        }
    }

    if (out.added + out.removed + out.updated >= 1) {
        {
            std::lock_guard guard(lock_);
            deletedCount_ += out.removed;
            ++mutations_;
        }
        markMoved(SortKey::size, movedSize);
        markMoved(SortKey::date, movedDate);
        markMoved(SortKey::created, movedCreated);
    }
    return out;
}

}  // namespace quorvanta::core
