// Qt converts large images on its thread pool.  A conversion made after the
// memory ran short must not wait on a pool thread that could not be made.
#include "platform/image_threads.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QFile>
#include <QImage>
#include <QThreadPool>

namespace {

// The address space in use now, in bytes (VmSize of /proc/self/status).
rlim_t AddressSpaceInUse() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmSize:")) return rlim_t{line.mid(7).trimmed().split(' ').front().toULongLong()} * 1024;
    }
    return 0;
}

}  // namespace

TEST(ImageThreads, ALargeImageIsConvertedWhenNoNewThreadCanBeMade) {
    KeepImageThreadsReady();
    QImage image(2000, 2000, QImage::Format_ARGB32);
    image.fill(qRgb(10, 200, 30));
    // From here on a new thread cannot be made: its stack would take more
    // address space than is left, as when a large picture has taken it.
    QThreadPool* pool = QThreadPool::globalInstance();
    const uint stack = pool->stackSize();
    pool->setStackSize(512u << 20);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    const rlim_t inUse = AddressSpaceInUse();
    ASSERT_GT(inUse, 0u);
    rlimit low = saved;
    low.rlim_cur = inUse + (256u << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &low), 0);
    const QImage converted = image.convertToFormat(QImage::Format_RGB888);
    setrlimit(RLIMIT_AS, &saved);
    pool->setStackSize(stack);
    ASSERT_FALSE(converted.isNull());
    EXPECT_EQ(converted.pixel(1999, 1999), qRgb(10, 200, 30));
}
