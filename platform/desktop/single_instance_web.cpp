// Single instance in the browser: every tab is a page of its own, and a page cannot reach
// another (nor does it need to: the browser brings a tab forward itself). So there is
// never a running copy to find, and a window is findable by nobody.
#include "platform/desktop/single_instance.h"

namespace veldra {

std::string instanceSocketPath(std::string_view, std::string_view, std::string*) {
    return {};
}

void setInstanceNamespace(std::string_view) {}

bool findRunningWindow(std::string_view, std::string_view, RunningWindow&, std::string*) {
    return false;
}

bool bringRunningWindowForward(RunningWindow&, bool) {
    return false;
}

void closeRunningWindow(RunningWindow& window) {
    window = RunningWindow{};
}

InstanceListener* startInstanceListener(std::string_view, std::string_view, BringForwardCallback,
                                        void*) {
    return nullptr;
}

void stopInstanceListener(InstanceListener*) {}

}  // namespace veldra
