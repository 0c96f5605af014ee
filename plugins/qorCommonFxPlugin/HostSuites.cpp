#include "plugins/qorCommonFxPlugin/HostSuites.h"

namespace tessel::qorCommonFxPlugin {

HostSuites& hostSuites() {
    static HostSuites suites;
    return suites;
}

}  // namespace tessel::qorCommonFxPlugin
