#include "tomcat/jar_entry.h"

#include <cstdint>

#ifdef QM_HAVE_ZLIB
#include <zlib.h>
#endif

namespace qm::tomcat {
namespace {

// The record signatures and sizes of the zip format (APPNOTE.TXT 4.3).
constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kLongestComment = 0xFFFF;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;

// Little-endian numbers at an offset of the archive; zero past its end, which
// no caller takes for valid.
class Bytes {
public:
    explicit Bytes(std::string_view bytes) : bytes_(bytes) {}
    bool Has(std::size_t at, std::size_t count) const { return at <= bytes_.size() && count <= bytes_.size() - at; }
    std::uint32_t Read(std::size_t at, int width) const {
        if (!Has(at, static_cast<std::size_t>(width))) return 0;
        std::uint32_t value = 0;
        for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes_[at + i]);
        return value;
    }
    std::uint16_t Word(std::size_t at) const { return static_cast<std::uint16_t>(Read(at, 2)); }
    std::uint32_t Long(std::size_t at) const { return Read(at, 4); }
    std::string_view Slice(std::size_t at, std::size_t count) const {
        return Has(at, count) ? bytes_.substr(at, count) : std::string_view();
    }
    std::size_t Size() const { return bytes_.size(); }

private:
    std::string_view bytes_;
};

// Where the end record starts: the last signature that leaves room for its
// comment to end at the archive's end.
std::optional<std::size_t> EndRecord(const Bytes& jar) {
    if (jar.Size() < kEndSize) return std::nullopt;
    const std::size_t last = jar.Size() - kEndSize;
    const std::size_t first = last > kLongestComment ? last - kLongestComment : 0;
    for (std::size_t at = last + 1; at-- > first;)
        if (jar.Long(at) == kEndSignature && at + kEndSize + jar.Word(at + 20) == jar.Size()) return at;
    return std::nullopt;
}

#ifdef QM_HAVE_ZLIB
// Ends the stream on every way out.
class RawInflater {
public:
    RawInflater() { ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    RawInflater(const RawInflater&) = delete;
    RawInflater& operator=(const RawInflater&) = delete;
    ~RawInflater() {
        if (ready_) inflateEnd(&stream_);
    }

    std::optional<std::string> Inflate(std::string_view deflated, std::size_t size) {
        if (!ready_) return std::nullopt;
        std::string out(size, '\0');
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
        stream_.avail_in = static_cast<uInt>(deflated.size());
        stream_.next_out = reinterpret_cast<Bytef*>(out.data());
        stream_.avail_out = static_cast<uInt>(out.size());
        if (inflate(&stream_, Z_FINISH) != Z_STREAM_END || stream_.total_out != size) return std::nullopt;
        return out;
    }

private:
    z_stream stream_{};
    bool ready_ = false;
};
#endif

std::optional<std::string> Unpack(std::uint16_t method, std::string_view packed, std::size_t size) {
    if (method == kStored) return packed.size() == size ? std::optional<std::string>(packed) : std::nullopt;
#ifdef QM_HAVE_ZLIB
    if (method == kDeflated) return RawInflater().Inflate(packed, size);
#endif
    return std::nullopt;
}

}  // namespace

std::optional<std::string> JarEntry(std::string_view bytes, std::string_view name, std::size_t maxSize) {
    const Bytes jar(bytes);
    const std::optional<std::size_t> end = EndRecord(jar);
    if (!end) return std::nullopt;
    const std::size_t entries = jar.Word(*end + 10);
    std::size_t at = jar.Long(*end + 16);
    for (std::size_t i = 0; i < entries; ++i) {
        if (jar.Long(at) != kCentralSignature || !jar.Has(at, kCentralSize)) return std::nullopt;
        const std::size_t nameLength = jar.Word(at + 28);
        const std::size_t next = at + kCentralSize + nameLength + jar.Word(at + 30) + jar.Word(at + 32);
        if (nameLength != name.size() || jar.Slice(at + kCentralSize, nameLength) != name) {
            at = next;
            continue;
        }
        const std::uint16_t method = jar.Word(at + 10);
        const std::size_t packedSize = jar.Long(at + 20);
        const std::size_t size = jar.Long(at + 24);
        const std::size_t local = jar.Long(at + 42);
        if (size > maxSize || jar.Long(local) != kLocalSignature || !jar.Has(local, kLocalSize)) return std::nullopt;
        const std::size_t data = local + kLocalSize + jar.Word(local + 26) + jar.Word(local + 28);
        if (!jar.Has(data, packedSize)) return std::nullopt;
        return Unpack(method, jar.Slice(data, packedSize), size);
    }
    return std::nullopt;
}

std::optional<std::vector<ArchiveEntry>> ArchiveDirectory(std::string_view tail) {
    const Bytes bytes(tail);
    const std::optional<std::size_t> end = EndRecord(bytes);
    if (!end) return std::nullopt;
    const std::size_t entries = bytes.Word(*end + 10);
    const std::size_t directorySize = bytes.Long(*end + 12);
    const std::uint64_t directoryOffset = bytes.Long(*end + 16);
    // The directory lies right before the end record; its offset in the file
    // tells where these bytes begin.
    if (directorySize > *end || directoryOffset < *end - directorySize) return std::nullopt;
    std::size_t at = *end - directorySize;
    std::vector<ArchiveEntry> listed;
    for (std::size_t i = 0; i < entries; ++i) {
        if (!bytes.Has(at, kCentralSize) || bytes.Long(at) != kCentralSignature) return std::nullopt;
        const std::size_t nameLength = bytes.Word(at + 28);
        ArchiveEntry entry;
        entry.name = std::string(bytes.Slice(at + kCentralSize, nameLength));
        entry.encrypted = (bytes.Word(at + 8) & 1) != 0;
        entry.method = bytes.Word(at + 10);
        entry.packedSize = bytes.Long(at + 20);
        entry.size = bytes.Long(at + 24);
        entry.localHeader = bytes.Long(at + 42);
        if (entry.name.size() != nameLength || entry.localHeader >= directoryOffset) return std::nullopt;
        listed.push_back(std::move(entry));
        at += kCentralSize + nameLength + bytes.Word(at + 30) + bytes.Word(at + 32);
    }
    return listed;
}

std::uint64_t BytesUpToEntry(const ArchiveEntry& entry) {
    return entry.localHeader + kLocalSize + entry.name.size() + 0xFFFF + entry.packedSize;
}

std::optional<std::string> EntryContents(std::string_view head, const ArchiveEntry& entry, std::size_t maxSize) {
    const Bytes bytes(head);
    if (entry.encrypted || entry.size > maxSize || entry.localHeader > head.size()) return std::nullopt;
    const std::size_t local = static_cast<std::size_t>(entry.localHeader);
    if (!bytes.Has(local, kLocalSize) || bytes.Long(local) != kLocalSignature) return std::nullopt;
    const std::size_t data = local + kLocalSize + bytes.Word(local + 26) + bytes.Word(local + 28);
    if (!bytes.Has(data, entry.packedSize)) return std::nullopt;
    return Unpack(entry.method, bytes.Slice(data, entry.packedSize), entry.size);
}

}  // namespace qm::tomcat
