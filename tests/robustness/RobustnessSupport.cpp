#include "tests/robustness/RobustnessSupport.h"

#include <fstream>
#include <iterator>

#include "protocol/CommandCode.h"

namespace qm::test {

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

Sandbox::Sandbox() {
    std::random_device rd;
    root_ = fs::temp_directory_path() /
            ("qm_robust_" + std::to_string(rd()) + "_" + std::to_string(rd()));
    fs::create_directories(Start());
    fs::create_directories(root_ / "a" / "b" / "cwd");
    oldCwd_ = fs::current_path();
    fs::current_path(root_ / "a" / "b" / "cwd");
}

Sandbox::~Sandbox() {
    std::error_code ec;
    fs::current_path(oldCwd_, ec);
    fs::remove_all(root_, ec);
}

std::map<std::string, std::string> Sandbox::Outside() const {
    std::map<std::string, std::string> out;
    const fs::path data = Data();
    for (auto it = fs::recursive_directory_iterator(root_);
         it != fs::recursive_directory_iterator(); ++it) {
        if (it->path() == data) {
            it.disable_recursion_pending();
            continue;
        }
        const std::string name = fs::relative(it->path(), root_).generic_string();
        out[name] = it->is_regular_file() ? ReadAll(it->path()) : std::string("<dir>");
    }
    return out;
}

std::vector<std::string> Sandbox::Changed() const {
    std::vector<std::string> changed;
    const auto now = Outside();
    for (const auto& [name, bytes] : now) {
        auto it = before_.find(name);
        if (it == before_.end() || it->second != bytes) changed.push_back(name);
    }
    for (const auto& [name, bytes] : before_)
        if (!now.count(name)) changed.push_back(name + " (removed)");
    return changed;
}

std::map<std::string, std::string> FilesUnder(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    if (!fs::exists(folder, ec)) return files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            files[fs::relative(e.path(), folder).generic_string()] = ReadAll(e.path());
    return files;
}

int Pick(std::mt19937& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

std::string RandomBytes(std::mt19937& rng, std::size_t maxLength) {
    static const std::vector<std::string> tricks = {
        "..",    ".",        "/",         "\\",   "..\\..\\x", "../../x", "C:",
        "C:\\x", "CON",      "nul.txt",   "a.",   "a ",        ":",       "\xD0\xC1",
        "\x98",  "Temp.bin", "x/../../y", "\r\n", "",          "D1",      "2024_3.dat"};
    std::string s;
    if (Pick(rng, 0, 3) == 0)
        s = tricks[static_cast<std::size_t>(Pick(rng, 0, int(tricks.size()) - 1))];
    const int n = Pick(rng, 0, static_cast<int>(maxLength));
    for (int i = 0; i < n && s.size() < maxLength; ++i) {
        switch (Pick(rng, 0, 3)) {
            case 0:
                s += static_cast<char>(Pick(rng, 0, 255));
                break;
            case 1:
                s += "./\\:."[Pick(rng, 0, 4)];
                break;
            default:
                s += static_cast<char>(Pick(rng, 'a', 'z'));
                break;
        }
    }
    if (s.size() > maxLength) s.resize(maxLength);
    return s;
}

std::vector<std::uint8_t> RandomReply(std::mt19937& rng) {
    static const int odd[] = {0,   1,   2,   3,   63,  64,   65,   100,
                              255, 256, 257, 258, 511, 2048, 2049, 3000};
    std::size_t size = static_cast<std::size_t>(
        Pick(rng, 0, 9) == 0 ? odd[Pick(rng, 0, int(std::size(odd)) - 1)] : Pick(rng, 0, 64));
    std::vector<std::uint8_t> r(size);
    for (auto& b : r) b = static_cast<std::uint8_t>(Pick(rng, 0, 255));
    if (size == 0 || Pick(rng, 0, 3) == 0) return r;  // bytes as they come
    // Shaped like a reply: a length byte (true, short or claiming more), a status, a text.
    static const int statuses[] = {248, 249, 250, 248, 249, 0, 255, 247, 251};
    if (size > 1) r[1] = static_cast<std::uint8_t>(statuses[Pick(rng, 0, 8)]);
    if (size > 2 && Pick(rng, 0, 1) == 0) {
        const std::string text = RandomBytes(rng, size - 3);
        for (std::size_t i = 0; i < text.size(); ++i) r[2 + i] = static_cast<std::uint8_t>(text[i]);
        r[2 + text.size()] = 0;
        r[0] = static_cast<std::uint8_t>(text.size() + 2);
    }
    switch (Pick(rng, 0, 3)) {
        case 0:
            r[0] = static_cast<std::uint8_t>(std::min<std::size_t>(255, size - 1));
            break;
        case 1:
            r[0] = static_cast<std::uint8_t>(Pick(rng, 0, 255));
            break;  // often more
        default:
            break;
    }
    return r;
}

std::size_t QueueSerialLink::Read(std::span<std::uint8_t> bytes) {
    if (failNextRead) {
        failNextRead = false;
        throw SerialFailed(SerialFailure::Read);
    }
    std::size_t n = 0;
    while (n < bytes.size() && !rx.empty()) {
        bytes[n++] = rx.front();
        rx.pop_front();
    }
    return n;
}

const char* PhaseName(Phase p) {
    static const char* names[] = {"Initial", "Idle",   "FullCopy", "NewCopy",
                                  "DayCopy", "BtText", "Radio"};
    return names[static_cast<int>(p)];
}

namespace C = CommandCode;
const std::vector<std::uint8_t> kCodes = {C::Identify,
                                          C::LinkKindQuery,
                                          C::PowerDown,
                                          C::LineValue,
                                          C::StartTest,
                                          C::ReadClock,
                                          C::SetClock,
                                          C::ReadSchedule,
                                          C::WriteSchedule,
                                          C::ReadBattery,
                                          C::ReadCalibration,
                                          C::WriteCalibration,
                                          C::ReadCalibrationNext,
                                          C::ListFirst,
                                          C::ListNext,
                                          C::OpenFile,
                                          C::NextLine,
                                          C::NextReadings,
                                          C::ResumeFile,
                                          C::FindDay,
                                          C::FirstValues,
                                          C::NextValues,
                                          C::DeleteDirectory,
                                          C::ModemMode,
                                          C::RadioAddress,
                                          C::ReadRemarks,
                                          C::WriteRemarks,
                                          2,
                                          7,
                                          99,
                                          128,
                                          200,
                                          255};

void FillLogger(StoreDevice& dev) {
    dev.ScriptConnection();
    dev.directories = {
        {"D1",
         {{"2024_3.dat",
           {Text("QM logger 79"), Measurement("09:00  5.03.2024", {1, 2, 3, 0x8000, 0xFFFF, 6, 7}),
            Text("note"), Measurement("10:00  5.03.2024", {100}),
            Measurement("08:00  6.03.2024", {5, 6})}},
          {"b.dat", {Text("x"), Text("y")}}}},
        {"D2", {{"c.dat", {Measurement("01:00  1.03.2024", {})}}}}};
    // Room for files added later: the device keeps a pointer to the file it has open.
    dev.directories[0].files.reserve(8);
}

Session::Session(Sandbox& sandbox, Phase phase, std::mt19937& rng) : box(sandbox) {
    FillLogger(dev);
    sim::Device* device = &gate;
    if (phase == Phase::BtText) {
        std::ofstream(box.Start() / "Device.txt", std::ios::binary) << "00:11:22:33:44:55\r\n"
                                                                    << RandomBytes(rng, 40) << "\n";
        modem = std::make_unique<FakeModem>(2, gate);
        modem->callAnswers = {"NO CARRIER", "CONNECT"};
        device = modem.get();
    } else if (phase == Phase::Radio) {
        modem = std::make_unique<FakeModem>(1, gate);
        device = modem.get();
    }
    rig = std::make_unique<Rig>(*device);
    rig->controller.SetUpFolders(box.Start());
    if (phase == Phase::Initial) gate.budget = Pick(rng, 0, 5);
    rig->StartUsb();
    rig->RunFor(phase == Phase::Initial ? Pick(rng, 0, 4000) : 5000);
    Controller& c = rig->controller;
    switch (phase) {
        case Phase::FullCopy:
            gate.budget = Pick(rng, 1, 12);
            c.Click("bAllData");
            break;
        case Phase::NewCopy:
            c.Click("bAllData");
            rig->RunUntilIdle();
            // New lines in the last file and a new file for "Новые" to fetch.
            dev.File("D1\\b.dat")->push_back(Measurement("12:00  7.03.2024", {9, 8, 7, 6, 5, 4}));
            dev.Directory("D1")->files.push_back({"d.dat", {Text("new"), Text("file")}});
            gate.budget = Pick(rng, 1, 6);
            c.Click("bNewData");
            break;
        case Phase::DayCopy:
            c.Click("bSelect");
            c.DateTimeEdited("DateData", *DateTime::FromDate(2024, 3, Pick(rng, 4, 6)));
            gate.budget = Pick(rng, 1, 6);
            c.Click("bCopy");
            break;
        case Phase::BtText:
            if (Pick(rng, 0, 1)) c.Click("Button6");
            break;
        default:
            break;
    }
    rig->RunFor(Pick(rng, 0, 50));
    box.Snapshot();
}

const std::vector<std::string> kButtons = {"bAllData", "bNewData", "bSelect", "bCopy",   "bCancel",
                                           "bClock",   "bSynch",   "bTest",   "Button6", "bRStart",
                                           "bDelete",  "bSet",     "bRemark"};

void ClickIfAvailable(Controller& c, std::string_view name) {
    const auto control = c.MutableModel().Find(name);
    Button* const* button = control ? std::get_if<Button*>(&*control) : nullptr;
    if (button && (*button)->visible && (*button)->enabled) c.Click(name);
}

std::vector<std::string> BrokenFiles(const fs::path& data) {
    std::vector<std::string> broken;
    for (const auto& [name, bytes] : FilesUnder(data))
        if (name.find(kStagingFolderName) != std::string::npos ||
            (!bytes.empty() && !bytes.ends_with("\r\n")))
            broken.push_back(name);
    return broken;
}

}  // namespace qm::test
