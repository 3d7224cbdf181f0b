#include "browser/browser_data.h"

#include <array>
#include <stdexcept>

namespace qm::browser {
namespace {

// The control panel's deletion flags, in the order of the buttons.
constexpr std::array<int, 6> kBrowserDataFlags{8, 2, 1, 16, 32, 255};

}  // namespace

std::string BrowserDataParameters(int button) {
    if (button < 1 || button > static_cast<int>(kBrowserDataFlags.size()))
        throw std::out_of_range("no browser data button " + std::to_string(button));
    return "inetcpl.cpl,ClearMyTracksByProcess " +
           std::to_string(kBrowserDataFlags[static_cast<std::size_t>(button - 1)]);
}

void ClearBrowserData(Shell& shell, int button) {
    const auto parameters = BrowserDataParameters(button);
    // The system's own copy: found by name, a rundll32.exe in our current
    // directory or beside us would run first, with our rights.
    const auto system = shell.SystemDirectory();
    if (system.empty()) return;
    shell.Open(system + "\\rundll32.exe", parameters);
}

}  // namespace qm::browser
