#include "app_fixture.h"

#include <unistd.h>

#include "analysis/block_pipeline.h"
#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "audio/capture_handoff.h"
#include "block_font.h"
#include "display/display_device.h"
#include "platform/single_instance.h"
#include "views/phase_trace.h"
#include "views/tuning_dial.h"

namespace veldra {

void AppTest::SetUp() {
    setInstanceNamespace("app-test-" + std::to_string(getpid()));
    resetShell();
    resetDisplay();
    resetValidator();
    resetDetector();
    resetBlockPipeline();
    resetDial();
    resetTrace();
    resetHandoff();
    installWaveInSource(&input);
    ASSERT_TRUE(startWindowSystem(backEnd, screen, blockSystemFonts()));
    recordTextCalls(true);
}

void AppTest::TearDown() {
    if (isWindow(mainWindow())) destroyWindow(mainWindow());  // shuts down: stops the stream
    stopWindowSystem();
    stopStream(captureStream());
    installWaveInSource(nullptr);
}

bool AppTest::start() {
    backEnd.press(keyReturn);
    return initInstance(&programResources(), showNormal);
}

bool AppTest::pump() {
    const AcceleratorTable* accelerators = loadAccelerators(programResources(), acceleratorResource);
    WindowMessage message;
    while (peekMessage(&message)) {
        if (!translateAccelerator(mainWindow(), *accelerators, message)) {
            translateMessage(message);
            dispatchMessage(message);
        }
    }
    if (message.message == messageQuit) {
        quit = true;
        quitCode = static_cast<int32_t>(message.wParam);
    }
    return !quit;
}

void AppTest::answerModalsWithEnter() {
    whenIdle([this] {
        const std::vector<WindowHandle> up = modalWindows();
        if (up.empty()) return false;
        const std::string caption = messageBoxCaption(up.back());
        seenModals.push_back(caption.empty() ? navigationBarTitle() : caption + ": " + messageBoxText(up.back()));
        backEnd.press(keyReturn);
        return true;
    });
}

}  // namespace veldra
