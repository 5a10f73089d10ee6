#include "audio/capture_handoff.h"

#include "analysis/block_pipeline.h"

namespace veldra {

// Defined before the stream, so that it outlives the stream's last stop at exit.
std::mutex captureLock;

namespace {

HandoffState startState() {
    HandoffState s{};
    s.consumerIdle = 1;
    s.notifyWindow = nullptr;
    s.consumer = analyzeBlock;
    return s;
}

HandoffState state = startState();
WaveInStream stream;

}  // namespace

WaveInStream& captureStream() { return stream; }

void onCaptureEvent(int32_t code) {
    if (code == BlockStored) {
        std::lock_guard<std::mutex> hold(captureLock);
        if (state.consumerIdle == 1) {
            // A full queue drops the message; the posting result is not looked at, as
            // the next stored block posts again once the consumer is idle.
            if (state.notifyWindow != nullptr) {
                (void)postWindowMessage(state.notifyWindow, CaptureReadyMessage, 0, 0);
            }
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
    int32_t remaining = handoffBlocksPerDrain;
    if (availableBytes(stream) > handoffBlockBytes / 2) {
        // More than half a block waiting means a whole block: the ring moves in blocks.
        while (remaining > 0) {
            --remaining;
            if (!readSamples(stream, state.blockBuffer, handoffBlockBytes)) break;
            const bool backlog = availableBytes(stream) > backlogBytes;
            state.consumer(state.blockBuffer, handoffBlockSamples, backlog);
            if (availableBytes(stream) <= handoffBlockBytes / 2) break;
        }
    }
    std::lock_guard<std::mutex> hold(captureLock);
    state.consumerIdle = 1;
}

void prepareHandoff(WindowHandle window) {
    std::lock_guard<std::mutex> hold(captureLock);
    state.notifyWindow = window;
    state.consumerIdle = 1;
}

void closeHandoff() {
    std::lock_guard<std::mutex> hold(captureLock);
    state.notifyWindow = nullptr;
}

void setBlockConsumer(BlockConsumer consumer) {
    state.consumer = consumer != nullptr ? consumer : analyzeBlock;
}

bool consumerIsIdle() {
    std::lock_guard<std::mutex> hold(captureLock);
    return state.consumerIdle == 1;
}

const HandoffState& handoffState() { return state; }

void resetHandoff() {
    std::lock_guard<std::mutex> hold(captureLock);
    state.consumerIdle = 1;
    state.notifyWindow = nullptr;
    state.consumer = analyzeBlock;
}

}  // namespace veldra
