#include "tests/robustness/RobustnessSupport.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "protocol/CommandCode.h"
#include "protocol/Reply.h"
#include "store/Catalogue.h"
#include "store/LocalFiles.h"
#include "store/ValueLines.h"

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
    // The collection log records the downloads; it is no copy of the logger's.
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file() && e.path().filename() != kCollectionLogName)
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

ProgramRun::ProgramRun(Sandbox& sandbox, Phase phase, std::mt19937& rng) : box(sandbox) {
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

const std::vector<std::string> kButtons = {"bAllData",
                                           "bNewData",
                                           "bSelect",
                                           "bCopy",
                                           "bCancel",
                                           "bClock",
                                           "bSynch",
                                           "bTest",
                                           "Button6",
                                           "bRStart",
                                           "bDelete",
                                           "bSet",
                                           "bRemark",
                                           "bCalibr",
                                           "bCurrent1",
                                           "bCurrent2",
                                           "CalibrBox",
                                           "pmCalibration",
                                           "pmRus",
                                           "pmEng",
                                           "Parameters.Button1",
                                           "Parameters.Button2"};

namespace {

// The groups and tab pages that hold a control, innermost first, as the main window's form
// nests them.
std::vector<std::string_view> Holders(std::string_view name) {
    static const std::map<std::string_view, std::vector<std::string_view>> holders = [] {
        std::map<std::string_view, std::vector<std::string_view>> h;
        const auto put = [&h](std::initializer_list<std::string_view> names,
                              std::vector<std::string_view> chain) {
            for (auto n : names) h[n] = chain;
        };
        put({"TimeStart", "DateStart", "bCurrent1"}, {"TabSheet1", "PageControl1", "GroupBox2"});
        put({"TimeStop", "DateStop", "bCurrent2"}, {"TabSheet2", "PageControl1", "GroupBox2"});
        put({"DayEdit", "HourEdit", "MinEdit"}, {"TabSheet3", "PageControl1", "GroupBox2"});
        put({"bSet"}, {"GroupBox2"});
        put({"ComboBox1", "bAllData", "bNewData", "bSelect", "bDelete", "DateData", "bCopy",
             "bCancel"},
            {"GroupBox1"});
        put({"pRemark1", "pRemark2", "bRemark"}, {"pComment"});
        put({"Edit1", "bCalibr", "CheckBox1"}, {"CalibrBox"});
        put({"cbRAddress", "eRAddress", "cbR_Modem", "bRStart"}, {"gbR_Modem"});
        put({"RadioGroup1", "Button6", "CheckBox2"}, {"BTmodem"});
        put({"SpinEdit1", "portDevice", "bSetPort", "CheckBox3"}, {"GroupBox4"});
        return h;
    }();
    const auto it = holders.find(name);
    return it == holders.end() ? std::vector<std::string_view>{} : it->second;
}

bool Shown(WindowModel& m, std::string_view name) {
    const auto control = m.Find(name);
    if (!control) return false;
    const Control& base = BaseOf(*control);
    return base.visible && base.enabled;
}

}  // namespace

bool Available(Controller& c, std::string_view name) {
    WindowModel& m = c.MutableModel();
    if (name.starts_with("Parameters.")) return m.Parameters.window.visible;
    if (!m.window.enabled) return false;  // the parameters dialog is up
    for (const MenuItemRef& item : m.MenuItems())
        if (item.name == name) return item.item->enabled;
    if (!Shown(m, name)) return false;
    for (std::string_view holder : Holders(name))
        if (!Shown(m, holder)) return false;
    return true;
}

void ClickIfAvailable(Controller& c, std::string_view name) {
    if (Available(c, name)) c.Click(name);
}

namespace {

enum class EditKind { Text, Number, Date, Time, Select, Check };
struct EditTarget {
    const char* name;
    EditKind kind;
};
const EditTarget kEdits[] = {
    {"Edit1", EditKind::Text},         {"pRemark1", EditKind::Text},
    {"pRemark2", EditKind::Text},      {"eRAddress", EditKind::Text},
    {"portDevice", EditKind::Text},    {"DayEdit", EditKind::Number},
    {"HourEdit", EditKind::Number},    {"MinEdit", EditKind::Number},
    {"SpinEdit1", EditKind::Number},   {"TimeStart", EditKind::Time},
    {"TimeStop", EditKind::Time},      {"DateStart", EditKind::Date},
    {"DateStop", EditKind::Date},      {"DateData", EditKind::Date},
    {"ComboBox1", EditKind::Select},   {"cbR_Modem", EditKind::Select},
    {"RadioGroup1", EditKind::Select}, {"CheckBox1", EditKind::Check},
    {"CheckBox2", EditKind::Check},    {"CheckBox3", EditKind::Check},
    {"cbRAddress", EditKind::Check},
};

std::string EditText(std::uint8_t v) {
    static const std::vector<std::string> texts = {"",
                                                   "0",
                                                   "12.5",
                                                   "-3,25",
                                                   "abc",
                                                   "255",
                                                   "1e9",
                                                   "\xD0\x96\xD0\xB0",
                                                   "  7 ",
                                                   "65535",
                                                   "999999",
                                                   "nan",
                                                   "-0",
                                                   "/dev/ttyS0",
                                                   "../x",
                                                   "a\tb",
                                                   "1",
                                                   "+412.35",
                                                   "300",
                                                   "-1",
                                                   ".",
                                                   "Temp.bin",
                                                   "12345678901234567890"};
    if (v >= 0xF0) return std::string(static_cast<std::size_t>(v - 0xEF) * 20, 'x');
    return texts[v % texts.size()];
}

}  // namespace

void EditIfAvailable(Controller& c, std::uint8_t which, std::uint8_t v) {
    const EditTarget& e = kEdits[which % std::size(kEdits)];
    if (!Available(c, e.name)) return;
    WindowModel& m = c.MutableModel();
    switch (e.kind) {
        case EditKind::Text:
            c.TextEdited(e.name, EditText(v));
            break;
        case EditKind::Number: {
            const auto control = m.Find(e.name);
            const SpinEdit* spin = std::get<SpinEdit*>(*control);
            // Mostly values of the box's range, as the spin box gives them, sometimes far
            // outside it.
            double value = spin->minimum + v % static_cast<int>(spin->maximum - spin->minimum + 1);
            if (v % 16 == 15) value = (v & 0x10) ? 1e12 : -1e12;
            c.NumberEdited(e.name, value);
            break;
        }
        case EditKind::Date: {
            // The data selector's dates mostly fall on the logger's days of measurement.
            const bool data = std::string_view(e.name) == "DateData";
            const auto date = data && v < 0xC0
                                  ? DateTime::FromDate(2024, 3, 1 + v % 9)
                                  : DateTime::FromDate(2000 + v % 40, 1 + v % 12, 1 + v % 28);
            c.DateTimeEdited(e.name, *date);
            break;
        }
        case EditKind::Time:
            c.DateTimeEdited(e.name, *DateTime::FromTime(v % 24, (v * 7) % 60, (v * 13) % 60));
            break;
        case EditKind::Select: {
            const auto control = m.Find(e.name);
            std::size_t items = 0;
            if (const auto* combo = std::get_if<ComboBox*>(&*control))
                items = (*combo)->items.size();
            if (const auto* group = std::get_if<RadioGroup*>(&*control))
                items = (*group)->items.size();
            c.Selected(e.name, static_cast<int>(v % (items + 2)) - 1);
            break;
        }
        case EditKind::Check:
            c.Checked(e.name, (v & 1) != 0);
            break;
    }
}

std::string LocalCopyOf(const StoredFile& file) {
    std::string bytes;
    for (const StoredEntry& e : file) {
        bytes += e.line + "\r\n";
        if (!e.measurement) continue;
        std::vector<std::int32_t> block;
        for (std::uint16_t w : e.values) block.push_back(SignedWord(w));
        for (const std::string& line : ValueLines(block)) bytes += line + "\r\n";
    }
    return bytes;
}

std::string DayCopyOf(const StoredFile& file, int day) {
    // From the day's first measurement up to the next measurement of another day, the text
    // lines between them included.
    StoredFile part;
    for (const StoredEntry& e : file) {
        if (e.measurement) {
            const bool ofDay = HeaderDay(e.line) == day;
            if (!ofDay && !part.empty()) break;
            if (!ofDay) continue;
        } else if (part.empty()) {
            continue;
        }
        part.push_back(e);
    }
    return LocalCopyOf(part);
}

std::string Oracles::Check(std::size_t writes, const StoreDevice* logger) {
    const std::size_t written = writes - writes_;
    const std::size_t events = events_;
    writes_ = writes;
    events_ = 0;
    if (written > kWritesPerEvent * events)
        return std::to_string(written) + " requests written for " + std::to_string(events) +
               " events (last code " + std::to_string(c_.Link().LastRequest.code) + ")";
    if (std::string hang = Hang(); !hang.empty()) return hang;
    if (logger) return Exactness(*logger);
    return {};
}

std::string Oracles::Hang() const {
    WindowModel& m = c_.MutableModel();
    const Exchange& x = c_.Link();
    const SessionTimers& timers = c_.Timers();
    if (x.Awaited() && !timers.ReplyTimer.Enabled() && !c_.Radio().Repeating())
        return "request " + std::to_string(*x.Awaited()) + " awaited with no watchdog";
    if (x.Outstanding || m.SysTimer.enabled) return {};
    for (std::size_t i = 0; i < kTimerCount; ++i)
        if (timers[static_cast<TimerId>(i)].Enabled()) return {};
    if (m.Parameters.window.visible) return {};  // the dialog's own buttons lead on
    bool dataOffers = false;
    for (const char* b : {"bAllData", "bNewData", "bSelect", "bDelete", "bCopy", "bCancel"})
        dataOffers = dataOffers || Available(c_, b);
    std::string locked;
    if (m.ProgressBar1.visible)
        locked = "the busy bar";
    else if (m.GroupBox1.visible && !dataOffers)
        locked = "the data group";
    else if (m.bTest.visible && !dataOffers && !Available(c_, "bTest") &&
             !Available(c_, "bClock") && !Available(c_, "bSynch"))
        locked = "the clock and test buttons";
    if (locked.empty()) return {};
    return locked + " locked with nothing pending (last request " +
           std::to_string(x.LastRequest.code) + ")";
}

namespace {

std::string FirstDifference(const std::string& name, const std::string& got,
                            const std::string& want) {
    std::size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    return name + ": " + std::to_string(got.size()) + " bytes where the logger has " +
           std::to_string(want.size()) + ", first difference at " + std::to_string(i);
}

// The local files of one data-set folder against the logger's directory: all of its files
// (`all`), or those of the folder that are there.
std::string CompareFolder(const fs::path& folder, const StoredDirectory& dir, bool all, bool days) {
    const auto local = FilesUnder(folder);
    for (const auto& [name, file] : dir.files) {
        if (RefusedFileName(name)) continue;
        const std::string key = LocalName(name).generic_string();
        const auto it = local.find(key);
        if (it == local.end()) {
            if (all) return key + " missing after a complete copy";
            continue;
        }
        if (it->second != LocalCopyOf(file))
            return FirstDifference(key, it->second, LocalCopyOf(file));
    }
    if (!days) return {};
    for (const auto& [name, bytes] : local) {
        int year = 0, month = 0, day = 0;
        char rest = 0;
        if (std::sscanf(name.c_str(), "%d_%d_%d.da%c", &year, &month, &day, &rest) != 4) continue;
        const StoredFile* month_file = nullptr;
        for (const auto& [n, f] : dir.files)
            if (n == MonthFileName(year, month)) month_file = &f;
        const std::string want = month_file ? DayCopyOf(*month_file, day) : std::string("<none>");
        if (bytes != want) return FirstDifference(name, bytes, want);
    }
    return {};
}

}  // namespace

std::string Oracles::Exactness(const StoreDevice& logger) {
    const CopySession& copy = c_.Copy();
    if (c_.Day().Active()) dayCopy_ = true;
    if (copy.ListingFiles()) dayCopy_ = false;
    const auto before = outcome_;
    outcome_ = copy.LastOutcome();
    if (outcome_ != CopySession::Outcome::Complete || before == outcome_) return {};
    const std::string& directory = copy.Files().copyDirectory;
    if (untruthful_.count(directory)) return {};
    const StoredDirectory* dir = const_cast<StoreDevice&>(logger).Directory(directory);
    if (!dir) return {};
    const std::string fault = CompareFolder(copy.Files().copyFolder, *dir, !dayCopy_, dayCopy_);
    return fault.empty()
               ? fault
               : std::string(dayCopy_ ? "day" : "full") + " copy ended complete, " + fault;
}

void Oracles::Untruthful() {
    if (c_.Copy().CopyRunning() || c_.Day().Active())
        untruthful_.insert(c_.Copy().Files().copyDirectory);
}

std::string Oracles::CheckFiles(const StoreDevice& logger) const {
    for (const StoredDirectory& dir : logger.directories) {
        if (untruthful_.count(dir.name)) continue;
        const fs::path folder = DataSetFolder(data_, dir.name);
        if (const std::string fault = CompareFolder(folder, dir, false, true); !fault.empty())
            return fault;
    }
    return {};
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
