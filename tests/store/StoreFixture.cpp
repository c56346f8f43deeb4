#include "tests/store/StoreFixture.h"

#include "store/LocalFiles.h"

#include <fstream>
#include <iterator>
#include <random>

#include "store/FileSteps.h"

namespace qm::test {

void StoreTest::SetUp() {
    std::random_device rd;
    start = fs::temp_directory_path() /
            ("qm_store_" + std::to_string(rd()) + "_" + std::to_string(rd()));
    fs::create_directories(start);
    dev.ScriptConnection();
}

void StoreTest::TearDown() {
    heard.Stop();
    rig.reset();
    SetFileStepHook({});
    std::error_code ec;
    fs::remove_all(start, ec);
}

Rig& StoreTest::Connect(std::size_t reportLength) {
    if (rig) rig->controller.FormClose();
    heard.Stop();
    rig = std::make_unique<Rig>(dev, reportLength);
    heard.Hear(rig->controller.MutableSession());
    rig->controller.SetUpFolders(start);
    rig->StartUsb();
    rig->RunFor(5000);
    return *rig;
}

void StoreTest::CopyAll() {
    rig->controller.Click("bAllData");
    rig->RunUntilIdle();
}

void StoreTest::CopyNew() {
    rig->controller.Click("bNewData");
    rig->RunUntilIdle();
}

std::string StoreTest::Local(const fs::path& relative) const {
    std::ifstream in(Data() / relative, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void StoreTest::Put(const fs::path& relative, const std::string& bytes) const {
    fs::create_directories((Data() / relative).parent_path());
    std::ofstream(Data() / relative, std::ios::binary) << bytes;
}

std::map<std::string, std::string> StoreTest::Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    if (!fs::exists(folder)) return files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        // The collection log records the downloads; it is no copy of the logger's.
        if (!e.is_regular_file() || e.path().filename() == kCollectionLogName) continue;
        std::ifstream in(e.path(), std::ios::binary);
        files[fs::relative(e.path(), folder).generic_string()] =
            std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return files;
}

std::vector<std::vector<std::uint8_t>> StoreTest::Requests(std::uint8_t code) const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& r : dev.requests)
        if (r.size() > 3 && r[3] == code) out.push_back(r);
    return out;
}

std::vector<std::uint8_t> Head(const std::vector<std::uint8_t>& request, std::size_t n) {
    return {request.begin(), request.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> b) {
    std::vector<std::uint8_t> v;
    for (int x : b) v.push_back(static_cast<std::uint8_t>(x));
    return v;
}

std::vector<std::uint8_t> WithText(std::vector<std::uint8_t> head, const std::string& text) {
    head.insert(head.end(), text.begin(), text.end());
    head.push_back(0);
    return head;
}

}  // namespace qm::test
