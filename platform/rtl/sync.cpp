#include "platform/rtl/sync.h"

#include <algorithm>
#include <chrono>

#include "platform/rtl/exceptions.h"

namespace vgl {

// ---- TMultiReadExclusiveWriteSynchronizer ------------------------------------------------------

int& TMultiReadExclusiveWriteSynchronizer::ReadCount(std::thread::id id) {
    for (auto& r : FReaders)
        if (r.first == id)
            return r.second;
    FReaders.emplace_back(id, 0);
    return FReaders.back().second;
}

int TMultiReadExclusiveWriteSynchronizer::OwnReads(std::thread::id id) const {
    for (const auto& r : FReaders)
        if (r.first == id)
            return r.second;
    return 0;
}

void TMultiReadExclusiveWriteSynchronizer::DropReads(std::thread::id id) {
    std::erase_if(FReaders, [id](const auto& r) { return r.first == id; });
}

void TMultiReadExclusiveWriteSynchronizer::BeginRead() {
    std::unique_lock<std::mutex> lock(FMutex);
    std::thread::id self = std::this_thread::get_id();
    // A nested read, or a read by the writer, must not wait: it would wait for itself.
    if (FWriter != self && OwnReads(self) == 0)
        FChanged.wait(lock, [&] { return FWriter == std::thread::id() && FWaitingWriters == 0; });
    ++ReadCount(self);
}

void TMultiReadExclusiveWriteSynchronizer::EndRead() {
    std::lock_guard<std::mutex> lock(FMutex);
    std::thread::id self = std::this_thread::get_id();
    if (OwnReads(self) == 0)
        throw EInvalidOperation(u"EndRead without BeginRead");
    if (--ReadCount(self) == 0) {
        DropReads(self);
        FChanged.notify_all();
    }
}

bool TMultiReadExclusiveWriteSynchronizer::BeginWrite() {
    std::unique_lock<std::mutex> lock(FMutex);
    std::thread::id self = std::this_thread::get_id();
    if (FWriter == self) {
        ++FWriteDepth;
        return true;
    }
    std::uint32_t seen = FRevision;
    // A promotion: give up this thread's reads while waiting, so that another promoting reader
    // can finish; they are handed back with the write lock.
    int ownReads = OwnReads(self);
    if (ownReads) {
        DropReads(self);
        FChanged.notify_all();
    }
    ++FWaitingWriters;
    FChanged.wait(lock, [&] { return FWriter == std::thread::id() && FReaders.empty(); });
    --FWaitingWriters;
    FWriter = self;
    FWriteDepth = 1;
    ++FRevision;
    if (ownReads)
        ReadCount(self) = ownReads;
    return FRevision == seen + 1;
}

void TMultiReadExclusiveWriteSynchronizer::EndWrite() {
    std::lock_guard<std::mutex> lock(FMutex);
    if (FWriter != std::this_thread::get_id())
        throw EInvalidOperation(u"EndWrite without BeginWrite");
    if (--FWriteDepth == 0) {
        FWriter = std::thread::id();
        FChanged.notify_all();
    }
}

std::uint32_t TMultiReadExclusiveWriteSynchronizer::RevisionLevel() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FRevision;
}

// ---- TEvent ------------------------------------------------------------------------------------

void TEvent::SetEvent() {
    std::lock_guard<std::mutex> lock(FMutex);
    FSignaled = true;
    if (FManualReset)
        FChanged.notify_all();
    else
        FChanged.notify_one();
}

void TEvent::ResetEvent() {
    std::lock_guard<std::mutex> lock(FMutex);
    FSignaled = false;
}

TWaitResult TEvent::WaitFor(unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(FMutex);
    auto signaled = [this] { return FSignaled; };
    if (timeoutMs == INFINITE)
        FChanged.wait(lock, signaled);
    else if (!FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), signaled))
        return wrTimeout;
    if (!FManualReset)
        FSignaled = false;
    return wrSignaled;
}

} // namespace vgl
