#include "window_fixture.h"

#include <unistd.h>

#include <string>

#include "block_font.h"
#include "platform/single_instance.h"

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
    for (const ReceivedMessage& m : receivedMessages()) {
        if (m.message == message) picked.push_back(m);
    }
    return picked;
}

std::vector<uint32_t> receivedNumbers() {
    std::vector<uint32_t> numbers;
    for (const ReceivedMessage& m : receivedMessages()) {
        if (m.message != messagePaint) numbers.push_back(m.message);
    }
    return numbers;
}

void WindowSystemTest::SetUp() {
    setInstanceNamespace("test-" + std::to_string(getpid()));
    receivedMessages().clear();
    ASSERT_TRUE(startWindowSystem(backEnd, screen, blockSystemFonts()));
    registerClass({3, recordingProc, {0, 0, nullptr}, colourBlack, recordingClass});
}

void WindowSystemTest::TearDown() { stopWindowSystem(); }

WindowHandle WindowSystemTest::makeWindow(const char* title) {
    return createWindow(recordingClass, title, styleVisible, nullptr, nullptr);
}

void WindowSystemTest::pump() {
    WindowMessage message;
    while (peekMessage(&message)) {
        translateMessage(message);
        dispatchMessage(message);
    }
}

}  // namespace veldra
