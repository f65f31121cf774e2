#include "platform/image_threads.h"

#include <QSemaphore>
#include <QThreadPool>
#include <memory>

void KeepImageThreadsReady() {
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setExpiryTimeout(-1);
    // Each task holds its thread until all were started, so that every one
    // gets a thread of its own rather than one thread running them in turn.
    auto go = std::make_shared<QSemaphore>();
    const int count = pool->maxThreadCount();
    for (int i = 0; i < count; ++i) pool->start([go] { go->acquire(); });
    go->release(count);
}
