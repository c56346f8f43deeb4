#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/HidBackend.h"

namespace qm::test {

// HID devices as a test plugs them in: what is present, who may open what, what was written,
// and the readers, whose reports the test delivers by hand (as the UI thread would).
class FakeHidBackend : public HidBackend {
public:
    struct Device {
        HidInterfaceInfo info;
        HidReportLengths lengths{65, 65, false};
        bool canOpen = true;    // false: cannot be opened at all
        bool readWrite = true;  // false: query only (held by another program)
    };
    struct Reader {
        std::string path;
        HidReportHandler deliver;
        bool running = true;
    };

    std::vector<Device> present;
    std::map<std::string, std::vector<std::vector<std::uint8_t>>> written;  // by path
    std::vector<std::shared_ptr<Reader>> readers;
    int opens = 0;

    Device& Plug(const std::string& product, const std::string& instance,
                 const std::string& path = {}) {
        present.push_back({{path.empty() ? "/dev/hid-" + instance : path, instance, product}});
        return present.back();
    }
    void Unplug(const std::string& instance) {
        std::erase_if(present, [&](const Device& d) { return d.info.instance == instance; });
    }
    // The running reader of a path, if any.
    Reader* RunningReader(const std::string& path) {
        for (auto& r : readers)
            if (r->path == path && r->running) return r.get();
        return nullptr;
    }

    std::vector<HidInterfaceInfo> Enumerate() override {
        std::vector<HidInterfaceInfo> out;
        for (const Device& d : present) out.push_back(d.info);
        return out;
    }

    std::unique_ptr<HidHandle> Open(const std::string& path) override {
        ++opens;
        const Device* d = Find(path);
        if (!d || !d->canOpen) return nullptr;
        return std::make_unique<Handle>(*this, path, d->readWrite, d->lengths);
    }

    std::unique_ptr<HidReader> StartReader(const std::string& path, const HidReportLengths&,
                                           HidReportHandler deliver) override {
        auto r = std::make_shared<Reader>(Reader{path, std::move(deliver)});
        readers.push_back(r);
        return std::make_unique<ReaderHandle>(r);
    }

private:
    const Device* Find(const std::string& path) const {
        auto it = std::find_if(present.begin(), present.end(),
                               [&](const Device& d) { return d.info.path == path; });
        return it == present.end() ? nullptr : &*it;
    }

    struct Handle : HidHandle {
        Handle(FakeHidBackend& b, std::string p, bool rw, HidReportLengths l)
            : backend(b), path(std::move(p)), readWrite(rw), lengths(l) {}
        bool ReadWrite() const override { return readWrite; }
        std::optional<HidReportLengths> ReportLengths() override { return lengths; }
        bool Write(std::span<const std::uint8_t> report) override {
            // A write reaches only a device that is still there, through a read/write handle.
            if (!readWrite || !backend.Find(path)) return false;
            backend.written[path].emplace_back(report.begin(), report.end());
            return true;
        }
        FakeHidBackend& backend;
        std::string path;
        bool readWrite;
        HidReportLengths lengths;
    };
    struct ReaderHandle : HidReader {
        explicit ReaderHandle(std::shared_ptr<Reader> r) : reader(std::move(r)) {}
        ~ReaderHandle() override { reader->running = false; }
        std::shared_ptr<Reader> reader;
    };
};

}  // namespace qm::test
