#include "store/settings.h"

#include "common/atomic_file.h"
#include "common/encoding.h"

#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace store {
namespace {

// A value is read into a buffer of this many bytes of the local code page, terminator included.
constexpr std::size_t kValueBufferBytes = 10240;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Writers read, change and replace the whole file: two at once would lose one of the changes.
std::mutex& write_mutex() {
    static std::mutex m;
    return m;
}

bool is_profile_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view trim_profile_space(std::string_view s) {
    while (!s.empty() && is_profile_space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_profile_space(s.back()))
        s.remove_suffix(1);
    return s;
}

bool same_name(std::string_view a, std::string_view b) {
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
               .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())), Qt::CaseInsensitive) == 0;
}

// One line of the file as the private-profile functions see it.
struct Line {
    std::size_t begin = 0, end = 0; // raw bytes, line break included
    bool has_break = false;
    enum Kind { Blank, Section, Key } kind = Blank;
    std::string name;                 // section or key name, UTF-8
    std::optional<std::string> value; // after '=', UTF-8; none when the line has no '='
};

struct Profile {
    std::string bytes;
    bool utf8 = false; // a UTF-8 byte-order mark says the file is not in GBK
    std::vector<Line> lines;

    std::string decode(std::string_view raw) const {
        return utf8 ? common::recode(raw, "UTF-8", "UTF-8", common::Unmappable::Replace, "?") : common::from_gbk(raw);
    }
    std::string encode(std::string_view text) const { return utf8 ? std::string(text) : common::to_gbk(text); }

    // Index of the first section with that name, or npos.
    std::size_t find_section(std::string_view section) const {
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].kind == Line::Section && same_name(lines[i].name, section))
                return i;
        return std::string::npos;
    }
    // One past the section's last line: the next section header or the end.
    std::size_t section_end(std::size_t header) const {
        std::size_t i = header + 1;
        while (i < lines.size() && lines[i].kind != Line::Section)
            ++i;
        return i;
    }
    // Only the first section of a name is searched, and in it the first line of the key.
    std::size_t find_key(std::size_t header, std::string_view key) const {
        for (std::size_t i = header + 1, end = section_end(header); i < end; ++i)
            if (lines[i].kind == Line::Key && same_name(lines[i].name, key))
                return i;
        return std::string::npos;
    }
};

Profile parse(std::string bytes) {
    Profile p;
    p.bytes = std::move(bytes);
    std::size_t at = 0;
    if (std::string_view(p.bytes).starts_with(kUtf8Bom)) {
        p.utf8 = true;
        at = kUtf8Bom.size();
    }
    const std::string_view all(p.bytes);
    while (at < all.size()) {
        Line line;
        line.begin = at;
        // Lines end at LF; a file without any LF left ends them at CR.
        std::size_t brk = all.find('\n', at);
        if (brk == std::string_view::npos)
            brk = all.find('\r', at);
        line.has_break = brk != std::string_view::npos;
        line.end = line.has_break ? brk + 1 : all.size();
        at = line.end;

        const std::string text = p.decode(all.substr(line.begin, line.end - line.begin));
        const std::string_view body = trim_profile_space(text);
        if (body.empty()) {
            p.lines.push_back(std::move(line));
            continue;
        }
        if (body.front() == '[') {
            if (const std::size_t close = body.rfind(']'); close != std::string_view::npos) {
                line.kind = Line::Section;
                line.name = std::string(body.substr(1, close - 1));
                p.lines.push_back(std::move(line));
                continue;
            }
        }
        line.kind = Line::Key;
        if (const std::size_t eq = body.find('='); eq != std::string_view::npos) {
            line.name = std::string(trim_profile_space(body.substr(0, eq)));
            line.value = std::string(trim_profile_space(body.substr(eq + 1)));
        } else {
            line.name = std::string(body);
        }
        p.lines.push_back(std::move(line));
    }
    return p;
}

// Lines that ended at a lone CR (no LF left after them) would run into one line once a written
// line brought an LF behind them, and the value just written could not be found again: such
// breaks become CR LF before anything is added.
Profile with_lf_breaks(Profile p) {
    std::string bytes = p.utf8 ? std::string(kUtf8Bom) : std::string();
    bool changed = false;
    for (const Line& line : p.lines) {
        const std::string_view raw = std::string_view(p.bytes).substr(line.begin, line.end - line.begin);
        bytes.append(raw);
        if (line.has_break && raw.back() == '\r') {
            bytes.push_back('\n');
            changed = true;
        }
    }
    return changed ? parse(std::move(bytes)) : p;
}

bool is_quote(char c) { return c == '"' || c == '\''; }

// The reader drops one pair of matching quotes around a value.
std::string_view strip_quotes(std::string_view v) {
    if (v.size() >= 2 && is_quote(v.front()) && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// What the reader would lose (blanks at the ends, a pair of enclosing quotes) is kept by one
// pair of quotes of our own, which the reader takes off again.
std::string protect_value(std::string_view v) {
    const bool padded = !v.empty() && (is_profile_space(v.front()) || is_profile_space(v.back()));
    if (!padded && strip_quotes(v).size() == v.size())
        return std::string(v);
    // Appended piece by piece: GCC 12 at -O3 misreads "literal" + std::string as an
    // overlapping copy (-Wrestrict).
    std::string quoted;
    quoted.reserve(v.size() + 2);
    quoted += '"';
    quoted += v;
    quoted += '"';
    return quoted;
}

// The longest start of `utf8` whose GBK form fits in `limit` bytes, never ending inside a
// double-byte character.
std::string cut_to_gbk_bytes(const std::string& utf8, std::size_t limit) {
    const std::string gbk = common::to_gbk(utf8);
    if (gbk.size() <= limit)
        return utf8;
    std::size_t i = 0;
    while (i < gbk.size()) {
        const std::size_t n = static_cast<unsigned char>(gbk[i]) >= 0x81 && i + 1 < gbk.size() ? 2 : 1;
        if (i + n > limit)
            break;
        i += n;
    }
    return common::from_gbk(std::string_view(gbk).substr(0, i));
}

// Plain system calls: the standard streams throw on a read error, such as a folder in place.
std::optional<std::string> read_bytes(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<std::string> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        bytes.emplace();
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                bytes->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0) {
                break;
            } else if (errno != EINTR) {
                bytes.reset();
                break;
            }
        }
    }
    ::close(fd);
    return bytes;
}

bool has_line_break(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Names the reader could not find again are refused rather than written.
bool writable_names(std::string_view section, std::string_view key, std::string_view value) {
    if (section.empty() || key.empty() || has_line_break(section) || has_line_break(key) || has_line_break(value))
        return false;
    if (key.find('=') != std::string_view::npos || key.front() == '[' || trim_profile_space(key).size() != key.size())
        return false;
    return true;
}

} // namespace

bool SettingsFile::can_hold(std::string_view value) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return false;
    const std::string gbk = common::to_gbk(value);
    return gbk.size() < kValueBufferBytes && common::from_gbk(gbk) == value;
}

std::string SettingsFile::read(const std::string& section, const std::string& key) const {
    if (section.empty() || key.empty())
        return {};
    const std::optional<std::string> bytes = read_bytes(file_);
    if (!bytes)
        return {};
    const Profile p = parse(*bytes);
    const std::size_t header = p.find_section(section);
    if (header == std::string::npos)
        return {};
    const std::size_t line = p.find_key(header, key);
    if (line == std::string::npos || !p.lines[line].value)
        return {};
    std::string value(strip_quotes(*p.lines[line].value));
    // The value was copied into a C buffer: it ends at a NUL byte.
    value.resize(std::min(value.size(), value.find('\0')));
    return cut_to_gbk_bytes(value, kValueBufferBytes - 1);
}

bool SettingsFile::write(const std::string& section, const std::string& key, const std::string& value) const {
    if (!writable_names(section, key, value))
        return false;
    std::lock_guard lock(write_mutex());

    // A link is followed, by the reads here and by the save.
    struct stat st {};
    const bool exists = ::stat(file_.c_str(), &st) == 0;
    std::string bytes;
    if (exists) {
        // A read-only file stays as it is, even for a user whom the system would let write it.
        if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 || ::access(file_.c_str(), W_OK) != 0)
            return false;
        std::optional<std::string> read = read_bytes(file_);
        if (!read)
            return false;
        bytes = std::move(*read);
    } else if (errno != ENOENT) {
        return false;
    }

    const Profile p = with_lf_breaks(parse(std::move(bytes)));
    const std::string line = p.encode(key + "=" + protect_value(value)) + "\r\n";
    const std::string_view all(p.bytes);
    std::string out;
    out.reserve(all.size() + line.size() + section.size() + 8);

    if (const std::size_t header = p.find_section(section); header == std::string::npos) {
        out.append(all);
        if (!p.lines.empty() && !p.lines.back().has_break)
            out.append("\r\n");
        // A blank line before a new section, as the file's own sections usually have.
        if (!p.lines.empty() && p.lines.back().kind != Line::Blank)
            out.append("\r\n");
        out.append(p.encode("[" + section + "]")).append("\r\n").append(line);
    } else if (const std::size_t at = p.find_key(header, key); at != std::string::npos) {
        out.append(all.substr(0, p.lines[at].begin)).append(line).append(all.substr(p.lines[at].end));
    } else {
        // After the section's last non-blank line, so blank lines before the next header stay.
        std::size_t last = header;
        for (std::size_t i = header + 1, end = p.section_end(header); i < end; ++i)
            if (p.lines[i].kind != Line::Blank)
                last = i;
        const Line& after = p.lines[last];
        out.append(all.substr(0, after.end));
        if (!after.has_break)
            out.append("\r\n");
        out.append(line).append(all.substr(after.end));
    }
    return common::save_file_atomically(file_, out, 0666);
}

} // namespace store
