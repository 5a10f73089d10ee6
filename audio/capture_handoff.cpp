#include "audio/capture_handoff.h"

namespace veldra {

// Defined before the stream, so that it outlives the stream's last stop at exit.
std::mutex captureLock;

namespace {

HandoffState startState() {
    HandoffState s{};
    s.consumerIdle = 1;
    s.notifyWindow = nullptr;
    s.consumer = nullptr;
    return s;
}

HandoffState state = startState();
WaveInStream stream;

}  // namespace

WaveInStream& captureStream() {
    return stream;
}

void onCaptureEvent(int32_t code) {
    if (code == BlockStored) {
        std::lock_guard<std::mutex> hold(captureLock);
        // A post that a full queue refuses leaves the consumer idle, so that the next
        // stored block tries again: otherwise no message would ever come to drain.
        if (state.consumerIdle == 1 && state.notifyWindow != nullptr &&
            postWindowMessage(state.notifyWindow, CaptureReadyMessage, 0, 0)) {
            state.consumerIdle = 0;
        }
    } else if (code == RingOverflow) {
        {
            std::lock_guard<std::mutex> hold(captureLock);
            state.consumerIdle = 1;
        }
        rearmStream(stream);
    }
}

void drainCapture() {
    int32_t remaining = blocksPerDrain;
    if (availableBytes(stream) > captureBlockBytes / 2) {
        // More than half a block waiting means a whole block: the ring moves in blocks.
        while (remaining > 0) {
            --remaining;
            if (!readSamples(stream, state.blockBuffer, captureBlockBytes)) break;
            const bool backlog = availableBytes(stream) > backlogBytes;
            if (state.consumer != nullptr)
                state.consumer(state.blockBuffer, captureBlockSamples, backlog);
            if (availableBytes(stream) <= captureBlockBytes / 2) break;
        }
    }
    std::lock_guard<std::mutex> hold(captureLock);
    state.consumerIdle = 1;
}

void prepareHandoff(WindowHandle window, BlockConsumer consumer) {
    std::lock_guard<std::mutex> hold(captureLock);
    state.notifyWindow = window;
    state.consumer = consumer;
    state.consumerIdle = 1;
}

void closeHandoff() {
    std::lock_guard<std::mutex> hold(captureLock);
    state.notifyWindow = nullptr;
}

bool consumerIsIdle() {
    std::lock_guard<std::mutex> hold(captureLock);
    return state.consumerIdle == 1;
}

const HandoffState& handoffState() {
    return state;
}

void resetHandoff() {
    std::lock_guard<std::mutex> hold(captureLock);
    state.consumerIdle = 1;
    state.notifyWindow = nullptr;
    state.consumer = nullptr;
}

}  // namespace veldra
