#pragma once
// The module's catalogue of effect descriptions: an ordered list (the index the host registers
// by) and a GUID map (what CreateQOREffect builds from), plus the factory of effect classes.
//
// Insertions are serialised by a recursive lock; look-ups take none, so a host must not create
// effects while descriptions are still being inserted on another thread.

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/DescriptionDiscovery.h"
#include "framework/EffectParams.h"
#include "framework/NLEEffectFilter.h"
#include "framework/NLEFilterInfo.h"

namespace tessel::qorCommonFxPlugin {

class EffectRegistry {
public:
    // The process-wide registry, created on the first call; null once shutdown() has run (it is
    // never rebuilt in the same process).
    static EffectRegistry* instance();
    // Destroys the process-wide registry. Descriptions held by live effects survive until released.
    static void shutdown();

    // Appends `info` to the list and makes it the description of its GUID (replacing an earlier one).
    void insert(NLEFilterInfoPtr info);
    // The description registered last under `guid`, or empty.
    NLEFilterInfoPtr find(const char* guid) const;
    std::size_t count() const { return ordered_.size(); }
    // The description at `index` of the ordered list, or empty past the end.
    NLEFilterInfoPtr at(std::size_t index) const;

    // Algorithm type of a built-in GUID (exact, case-sensitive), 0 for any other text.
    static int32_t builtinTypeOf(const char* guid);

    // Start-up walk callback: reads the description file and registers it when its GUID is built in.
    // A malformed description is logged and dropped; nothing is raised.
    void onDescriptionFound(_EffectFileType kind, std::string file, std::string folder);

    // The .conf description of one folder, or empty; a malformed one is logged and gives empty.
    NLEFilterInfoPtr loadConfFolder(const char* folder);

    // A new effect of the description's algorithm type, or null for a type without an effect class.
    static std::unique_ptr<NLEEffectFilter> createFilter(NLEFilterInfoPtr info);
    // The parameters the effect class of `algorithmType` reads, in its declaration order, or null
    // for a type without an effect class. The list lives as long as the process.
    static const std::vector<ParamDeclaration>* declaredParameters(int32_t algorithmType);

private:
    std::vector<NLEFilterInfoPtr> ordered_;
    std::map<std::string, NLEFilterInfoPtr> byGuid_;
    std::recursive_mutex insertLock_;
};

}  // namespace tessel::qorCommonFxPlugin
