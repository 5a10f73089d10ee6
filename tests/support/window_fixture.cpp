#include "tests/support/window_fixture.h"

#include <unistd.h>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "audio/capture_handoff.h"
#include "display/display_device.h"
#include "platform/desktop/single_instance.h"
#include "tests/support/block_font.h"
#include "tuner/block_pipeline.h"
#include "views/phase_trace.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

intptr_t recordingProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    receivedMessages().push_back({window, message, wParam, lParam});
    return defWindowProc(window, message, wParam, lParam);
}

}  // namespace

std::vector<ReceivedMessage>& receivedMessages() {
    static std::vector<ReceivedMessage> messages;
    return messages;
}

std::vector<ReceivedMessage> received(uint32_t message) {
    std::vector<ReceivedMessage> picked;
    for (const ReceivedMessage& m : receivedMessages())
        if (m.message == message) picked.push_back(m);
    return picked;
}

std::vector<uint32_t> receivedNumbers() {
    std::vector<uint32_t> numbers;
    for (const ReceivedMessage& m : receivedMessages())
        if (m.message != messagePaint) numbers.push_back(m.message);
    return numbers;
}

void WindowSystemTest::SetUp() {
    setInstanceNamespace("test-" + std::to_string(getpid()));
    receivedMessages().clear();
    ASSERT_TRUE(startWindowSystem(backEnd, screen, blockSystemFonts()));
    registerClass({3, recordingProc, {0, 0, nullptr}, colourBlack, recordingClass});
}

bool WindowSystemTest::pump(WindowHandle window, const AcceleratorTable* accelerators) {
    WindowMessage message;
    while (peekMessage(&message)) {
        if (accelerators != nullptr && translateAccelerator(window, *accelerators, message))
            continue;
        dispatchMessage(message);
    }
    if (message.message == messageQuit) quitCode = static_cast<int32_t>(message.wParam);
    return quitCode < 0;
}

void AppTest::SetUp() {
    resetShell();
    resetTuner();
    installWaveInSource(&input);
    WindowSystemTest::SetUp();
    recordTextCalls(true);
}

void AppTest::TearDown() {
    if (isWindow(mainWindow())) destroyWindow(mainWindow());  // shuts down: stops the stream
    stopWindowSystem();
    stopStream(captureStream());
    installWaveInSource(nullptr);
}

void AppTest::answerModalsWithEnter() {
    whenIdle([this] {
        const std::vector<WindowHandle> up = modalWindows();
        if (up.empty()) return false;
        const std::string caption = messageBoxCaption(up.back());
        seenModals.push_back(caption.empty() ? navigationBarTitle()
                                             : caption + ": " + messageBoxText(up.back()));
        backEnd.press(keyReturn);
        return true;
    });
}

}  // namespace veldra
