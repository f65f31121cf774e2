// Pictures decoded once and shared: the program-wide cache behind
// PictureImages, the worker-thread decoding and the scaled copies.
#include <sys/stat.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>
#include <algorithm>
#include <cstring>
#include <map>

#include "document/liner.h"
#include "platform/prompter.h"
#include "pictures/picture_host.h"
#include "pictures/picture_image.h"
#include "platform/messages.h"
#include "platform/strings.h"
#include "pictures/bmp_reader.h"

namespace {

// Scaled copies kept per picture: the screen's and one more (a render, a
// zoom being changed).
constexpr size_t kScaledCopies = 2;

uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A picture file as it is on disk now: a changed file is another picture.
std::string CacheKey(const Picture& picture, const std::string& path) {
    struct stat st;
    std::string key = std::to_string(picture.formatIndex) + ":" + path;
    if (stat(path.c_str(), &st) == 0) {
        key += ":" + std::to_string(static_cast<long long>(st.st_size)) + ":" +
               std::to_string(static_cast<long long>(st.st_mtim.tv_sec)) + "." +
               std::to_string(static_cast<long long>(st.st_mtim.tv_nsec));
    }
    return key;
}

std::mutex& CacheMutex() {
    static std::mutex mutex;
    return mutex;
}
std::map<std::string, std::weak_ptr<DecodedPicture>>& Cache() {
    static std::map<std::string, std::weak_ptr<DecodedPicture>> cache;
    return cache;
}

}  // namespace

QImage TakePackedDib(DibPtr dib) {
    if (!dib) return {};
    uint8_t* block = static_cast<uint8_t*>(dib.get());
    const uint32_t headerSize = U32(block);
    const int32_t width = static_cast<int32_t>(U32(block + 4));
    const int32_t height = static_cast<int32_t>(U32(block + 8));
    const uint16_t bitCount = static_cast<uint16_t>(block[14] | (block[15] << 8));
    const uint32_t compression = headerSize >= 40 ? U32(block + 16) : 1;
    const bool shareable = headerSize == 40 && compression == 0 && width > 0 && height > 0 && width <= 65535 &&
                           height <= 65535 && (bitCount == 24 || bitCount == 8 || bitCount == 1);
    if (!shareable) return PackedDibToImage(dib.get());

    const uint32_t colours = HeaderColourCount(headerSize, bitCount, U32(block + 32));
    if (bitCount <= 8 && colours > (1u << bitCount)) return PackedDibToImage(dib.get());
    const size_t stride = static_cast<size_t>(BitmapStride(static_cast<uint64_t>(width), bitCount));
    uint8_t* bits = block + headerSize + size_t{colours} * 4;
    // Bottom row first in the block: turned in place so that the image can
    // use the rows where they are.
    std::vector<uint8_t> swap(stride);
    for (int32_t low = 0, high = height - 1; low < high; ++low, --high) {
        uint8_t* a = bits + static_cast<size_t>(low) * stride;
        uint8_t* b = bits + static_cast<size_t>(high) * stride;
        std::memcpy(swap.data(), a, stride);
        std::memcpy(a, b, stride);
        std::memcpy(b, swap.data(), stride);
    }
    const QImage::Format format = bitCount == 24 ? QImage::Format_BGR888
                                  : bitCount == 8 ? QImage::Format_Indexed8
                                                  : QImage::Format_Mono;
    QImage image(bits, width, height, static_cast<qsizetype>(stride), format, [](void* p) { std::free(p); },
                 block);
    if (image.isNull()) return PackedDibToImage(dib.get());
    dib.release();
    if (bitCount <= 8) {
        // Every index a pixel can hold gets a colour, black past the table's end.
        QList<QRgb> table(1 << bitCount, qRgb(0, 0, 0));
        const uint8_t* entries = block + headerSize;
        for (uint32_t i = 0; i < colours; ++i) table[i] = qRgb(entries[4 * i + 2], entries[4 * i + 1], entries[4 * i]);
        image.setColorTable(table);
    }
    return image;
}

// ---- DecodedPicture -----------------------------------------------------------------

DecodedPicture::State DecodedPicture::state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

QImage DecodedPicture::image() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return image_;
}

uint16_t DecodedPicture::errorCode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

QImage DecodedPicture::ScaledTo(QSize size) {
    QImage full;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (size_t i = 0; i < scaled_.size(); ++i) {
            if (scaled_[i].first == size) {
                std::rotate(scaled_.begin(), scaled_.begin() + static_cast<ptrdiff_t>(i),
                            scaled_.begin() + static_cast<ptrdiff_t>(i) + 1);
                return scaled_.front().second;
            }
        }
        full = image_;
    }
    if (full.isNull() || size.isEmpty()) return {};
    // Made at most once per size; larger than the picture itself there is
    // nothing to smooth, and the painter scales as it draws.
    if (size.width() > full.width() * 2 || size.height() > full.height() * 2) return {};
    const QImage source = HalvingFor(full, size);
    QImage copy = source.size() == size ? source.convertToFormat(QImage::Format_RGB32)
                                        : source.convertToFormat(QImage::Format_RGB32)
                                              .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::lock_guard<std::mutex> lock(mutex_);
    scaled_.insert(scaled_.begin(), {size, copy});
    if (scaled_.size() > kScaledCopies) scaled_.pop_back();
    return copy;
}

QImage DecodedPicture::HalvingFor(const QImage& full, QSize size) {
    auto holds = [size](const QImage& image) {
        return image.width() >= size.width() && image.height() >= size.height();
    };
    std::vector<QImage> halvings;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        halvings = halvings_;
    }
    // Each halving is smoothed from the one before, once; a copy is then
    // smoothed from the smallest that still holds it.  A picture resized on
    // the screen asks for a new size at every step, and smoothing it from a
    // picture of a few times its size costs a fraction of smoothing it from
    // the whole of a large photo.
    const size_t known = halvings.size();
    while (true) {
        const QImage& last = halvings.empty() ? full : halvings.back();
        const QSize half(last.width() / 2, last.height() / 2);
        if (half.width() < size.width() || half.height() < size.height() || half.isEmpty()) break;
        QImage next = last.convertToFormat(QImage::Format_RGB32)
                          .scaled(half, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (next.isNull()) break;  // no memory for it: smooth from what there is
        halvings.push_back(std::move(next));
    }
    if (halvings.size() > known) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (halvings_.size() < halvings.size()) halvings_ = halvings;
    }
    for (auto it = halvings.rbegin(); it != halvings.rend(); ++it) {
        if (holds(*it)) return *it;
    }
    return full;
}

// ---- decoding ---------------------------------------------------------------------------

struct PictureDecoding {
    // Runs the reader and stores what it gives.  Any thread.
    static void Run(const std::shared_ptr<DecodedPicture>& target, ReadGraphicFileProc read, GetErrorProc error,
                    const std::string& path) {
        DibPtr dib(read(path.c_str()));
        uint16_t code = dib ? 0 : error(nullptr);
        QImage image;
        try {
            image = TakePackedDib(std::move(dib));
        } catch (const std::bad_alloc&) {
            // This picture alone goes without: the liner is drawn without it.
            code = PluginErrorMemory;
        }
        std::lock_guard<std::mutex> lock(target->mutex_);
        if (image.isNull()) {
            target->state_ = DecodedPicture::State::Failed;
            // A block no drawing can use counts as a damaged file.
            target->error_ = code ? code : static_cast<uint16_t>(PluginErrorCorrupt);
        } else {
            target->image_ = std::move(image);
            target->state_ = DecodedPicture::State::Ready;
        }
    }
};

PictureImages::PictureImages(bool background, std::function<void()> ready)
    : background_(background), ready_(std::make_shared<std::function<void()>>(std::move(ready))) {}

PictureImages::~PictureImages() = default;

PictureLookup PictureImages::Get(size_t index, const Picture& picture, Prompter& prompter,
                                 PictureReaderTable& table) {
    return Look(index, picture, &prompter, table);
}

PictureLookup PictureImages::GetQuietly(size_t index, const Picture& picture, PictureReaderTable& table) {
    // A reader that is not there would be told of while starting: left to Get.
    if (!PictureReaderAvailable(picture.formatIndex, table)) return {};
    return Look(index, picture, nullptr, table);
}

PictureLookup PictureImages::Look(size_t index, const Picture& picture, Prompter* prompter,
                                  PictureReaderTable& table) {
    if (index >= entries_.size()) entries_.resize(index + 1);
    Entry& entry = entries_[index];
    const std::string path = ResolvePicturePath(picture.fileName);
    const std::string key = CacheKey(picture, path);

    std::shared_ptr<DecodedPicture> decoded;
    bool start = false;
    if (entry.decoded && entry.fileName == key) {
        decoded = entry.decoded;
    } else {
        std::lock_guard<std::mutex> lock(CacheMutex());
        decoded = Cache()[key].lock();
        if (!decoded) {
            decoded = std::make_shared<DecodedPicture>();
            Cache()[key] = decoded;
            start = true;
        }
        entry.fileName = key;
        entry.decoded = decoded;
    }

    if (start) {
        // A quiet look comes here only with its reader loaded.
        const bool known = picture.formatIndex < kPictureReaderCount;
        if (!known && prompter) {
            ShowMessage(*prompter, MessageOwner::MainWindow(), ErrorStyle(), IDS_PICTURE_NOT_SUPPORTED,
                        {picture.fileName});
        }
        if (!known || (prompter && !LoadPictureReader(picture.formatIndex, *prompter, table, picture.fileName))) {
            // Reported already: kept as failed until the file or list changes.
            failed_ = true;
            std::lock_guard<std::mutex> lock(decoded->mutex_);
            decoded->state_ = DecodedPicture::State::Failed;
            decoded->reported_ = true;
            return {};
        }
        const PictureReader& row = table.Row(picture.formatIndex);
        if (background_ && QCoreApplication::instance()) {
            std::weak_ptr<std::function<void()>> ready = ready_;
            QThreadPool::globalInstance()->start([decoded, read = row.read, error = row.error, path, ready] {
                PictureDecoding::Run(decoded, read, error, path);
                QMetaObject::invokeMethod(QCoreApplication::instance(), [ready] {
                    if (auto callback = ready.lock(); callback && *callback) (*callback)();
                }, Qt::QueuedConnection);
            });
        } else {
            PictureDecoding::Run(decoded, row.read, row.error, path);
        }
    }

    std::unique_lock<std::mutex> lock(decoded->mutex_);
    switch (decoded->state_) {
        case DecodedPicture::State::Ready:
            return {decoded, false};
        case DecodedPicture::State::Pending:
            if (!background_) {
                // Another user is decoding it: wait for that rather than decode again.
                lock.unlock();
                while (decoded->state() == DecodedPicture::State::Pending) QThreadPool::globalInstance()->waitForDone(10);
                return Look(index, picture, prompter, table);
            }
            return {nullptr, true};
        case DecodedPicture::State::Failed:
            failed_ = true;
            if (prompter && !decoded->reported_) {
                decoded->reported_ = true;
                const uint16_t code = decoded->error_;
                lock.unlock();
                ReportReaderError(code, picture.fileName, *prompter);
            }
            return {};
    }
    return {};
}

void PictureImages::DrawingFailed(size_t index, const Picture& picture, Prompter& prompter) {
    failed_ = true;
    if (index >= entries_.size() || !entries_[index].decoded) return;
    DecodedPicture& decoded = *entries_[index].decoded;
    std::unique_lock<std::mutex> lock(decoded.mutex_);
    decoded.state_ = DecodedPicture::State::Failed;
    decoded.error_ = PluginErrorMemory;
    decoded.image_ = QImage();
    decoded.scaled_.clear();
    decoded.halvings_.clear();
    if (decoded.reported_) return;
    decoded.reported_ = true;
    lock.unlock();
    ReportReaderError(PluginErrorMemory, picture.fileName, prompter);
}

bool PictureImages::Has(size_t index, const std::string& fileName) const {
    if (index >= entries_.size() || !entries_[index].decoded) return false;
    const std::string& key = entries_[index].fileName;
    const size_t colon = key.find(':');
    const std::string rest = colon == std::string::npos ? key : key.substr(colon + 1);
    const std::string path = ResolvePicturePath(fileName);
    return rest.compare(0, path.size(), path) == 0 && (rest.size() == path.size() || rest[path.size()] == ':') &&
           entries_[index].decoded->state() == DecodedPicture::State::Ready;
}

void PictureImages::Erase(size_t index) {
    if (index < entries_.size()) entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(index));
}
