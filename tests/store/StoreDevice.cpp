#include "tests/store/StoreDevice.h"

#include <algorithm>

namespace qm::test {

sim::Frame LineFrame(std::uint8_t status, const std::string& text) {
    sim::Frame f;
    f.reserve(text.size() + 3);
    f.push_back(static_cast<std::uint8_t>(text.size() + 2));
    f.push_back(status);
    f.insert(f.end(), text.begin(), text.end());
    f.push_back(0);
    return f;
}

sim::Frame ValuesFrame(std::uint8_t status, const std::vector<std::uint16_t>& words) {
    sim::Frame f{static_cast<std::uint8_t>(words.size() * 2 + 1), status};
    for (std::uint16_t w : words) {
        f.push_back(static_cast<std::uint8_t>(w & 0xFF));
        f.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    return f;
}

sim::Frame EndOfListFrame() {
    return {3, 248, 0, 0};
}

StoredEntry Text(std::string line) {
    return {std::move(line), false, {}};
}
StoredEntry Measurement(std::string header, std::vector<std::uint16_t> values) {
    return {std::move(header), true, std::move(values)};
}

void StoreDevice::ScriptConnection() {
    connection.On(0, {{3, 248, 79, 5}});
    connection.On(48, {{7, 248, 3, 7, 9, 5, 3, 24}});
    connection.On(50, {{14, 248, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0}});
    connection.On(52, {{2, 248, 53}});
    connection.On(16, {{5, 248, 0x80, 0x00, 0x01, 0x90}});
}

StoredDirectory* StoreDevice::Directory(const std::string& name) {
    for (auto& d : directories)
        if (d.name == name) return &d;
    return nullptr;
}

StoredFile* StoreDevice::File(const std::string& path) {
    const auto sep = path.find('\\');
    if (sep == std::string::npos) return nullptr;
    StoredDirectory* d = Directory(path.substr(0, sep));
    if (!d) return nullptr;
    for (auto& [name, file] : d->files)
        if (name == path.substr(sep + 1)) return &file;
    return nullptr;
}

std::vector<sim::Frame> StoreDevice::Handle(std::span<const std::uint8_t> request) {
    if (request.size() < 4) return {};
    const std::uint8_t code = request[3];
    const bool store = (code >= 64 && code <= 72 && code != 68) || code == 76;
    if (!store) return connection.Handle(request);
    requests.emplace_back(request.begin(), request.end());
    auto frames = Answer(request);
    if (repliesLeft) {
        if (*repliesLeft <= 0) return {};
        --*repliesLeft;
    }
    return frames;
}

namespace {
std::string NameAt(std::span<const std::uint8_t> r, std::size_t from) {
    std::string s;
    for (std::size_t i = from; i < r.size() && r[i] != 0; ++i) s += static_cast<char>(r[i]);
    return s;
}
std::size_t LineUnits(const StoredEntry& e) {
    if (!e.measurement) return 1;
    const std::size_t n = e.values.size();
    return 1 + (n == 0 ? 1 : (n - 1) / 5 + 1);
}
}  // namespace

sim::Frame StoreDevice::CurrentLine() {
    if (!open_ || entry_ >= open_->size()) return {2, 250};
    const StoredEntry& e = (*open_)[entry_++];
    valuesSent_ = 0;
    const bool more = e.measurement || entry_ < open_->size();
    return LineFrame(more ? 249 : 248, e.line);
}

std::vector<sim::Frame> StoreDevice::Answer(std::span<const std::uint8_t> r) {
    switch (r[3]) {
        case 64: {
            const std::string name = NameAt(r, 4);
            listing_.clear();
            listed_ = 0;
            if (name.empty()) {
                for (auto& d : directories) listing_.push_back(d.name);
            } else if (StoredDirectory* d = Directory(name)) {
                for (auto& f : d->files) listing_.push_back(f.first);
            }
            [[fallthrough]];
        }
        case 65:
            if (listed_ >= listing_.size()) return {EndOfListFrame()};
            return {LineFrame(248, listing_[listed_++])};
        case 66:
            open_ = File(NameAt(r, 4));
            entry_ = 0;
            return {CurrentLine()};
        case 67:
            return {CurrentLine()};
        case 69: {
            std::size_t skip = r[4] | (r[5] << 8);
            open_ = File(NameAt(r, 6));
            entry_ = 0;
            while (open_ && entry_ < open_->size() && skip > 0)
                skip -= std::min(skip, LineUnits((*open_)[entry_++]));
            return {CurrentLine()};
        }
        case 70: {
            const int day = r[4];
            for (entry_ = 0; open_ && entry_ < open_->size(); ++entry_) {
                const std::string& l = (*open_)[entry_].line;
                if ((*open_)[entry_].measurement && l.size() >= 8 &&
                    (l[6] == ' ' ? 0 : l[6] - '0') * 10 + (l[7] - '0') == day) {
                    sim::Frame found = CurrentLine();
                    found[1] = dayFoundStatus;
                    return {found};
                }
            }
            return {{2, 250}};
        }
        case 71:
        case 72: {
            if (!open_ || entry_ == 0) return {{2, 250}};
            const auto& values = (*open_)[entry_ - 1].values;
            const std::size_t n = std::min(wordsPerReply, values.size() - valuesSent_);
            std::vector<std::uint16_t> part(values.begin() + valuesSent_,
                                            values.begin() + valuesSent_ + n);
            valuesSent_ += n;
            const std::uint8_t status = valuesSent_ < values.size()                  ? 249
                                        : entry_ < open_->size() || lastValuesSay248 ? 248
                                                                                     : 250;
            return {ValuesFrame(status, part)};
        }
        case 76: {
            const std::string name = NameAt(r, 4);
            std::erase_if(directories, [&](const StoredDirectory& d) { return d.name == name; });
            return {{2, 248}};
        }
        default:
            return {};
    }
}

}  // namespace qm::test
