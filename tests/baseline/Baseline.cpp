#include "tests/baseline/Baseline.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <variant>

namespace qm::test {

namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::string s;
    char b[4];
    for (std::uint8_t v : bytes) {
        std::snprintf(b, sizeof b, " %02x", v);
        s += b;
    }
    return s;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string Number(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", v);
    return b;
}

// What a control of each kind holds beyond the common part.
struct Extra {
    std::ostringstream& out;
    void operator()(const Button*) const {}
    void operator()(const Label* l) const { out << " autoSize=" << l->autoSize; }
    void operator()(const GroupBox*) const {}
    void operator()(const TabSheet*) const {}
    void operator()(const EditBox* e) const { out << " text=[" << e->text << "]"; }
    void operator()(const CheckBox* c) const { out << " checked=" << c->checked; }
    void operator()(const SpinEdit* s) const {
        out << " value=" << Number(s->value) << " range=" << Number(s->minimum) << ".."
            << Number(s->maximum);
    }
    void operator()(const DateTimeEdit* d) const {
        out << " value=" << d->value.Milliseconds() << " mode=" << static_cast<int>(d->mode);
    }
    void operator()(const ComboBox* c) const {
        out << " index=" << c->itemIndex << " text=[" << c->text << "] items=[";
        for (const std::string& item : c->items) out << item << "|";
        out << "]";
    }
    void operator()(const RadioGroup* r) const {
        out << " index=" << r->itemIndex << " items=[";
        for (const std::string& item : r->items) out << item << "|";
        out << "]";
    }
    void operator()(const PageControl* p) const { out << " page=" << p->activePage; }
    void operator()(const ProgressBar* p) const {
        out << " position=" << p->position << "/" << p->maximum;
    }
    void operator()(const Shape* s) const {
        out << " brush=" << static_cast<std::uint32_t>(s->brush)
            << " pen=" << static_cast<std::uint32_t>(s->pen) << " hint=" << s->showHint << "["
            << s->hint << "]";
    }
    void operator()(const Chart* c) const {
        out << " series1=";
        for (const ChartPoint& p : c->series1)
            out << Number(p.x) << ":" << Number(p.y) << ":" << static_cast<std::uint32_t>(p.colour)
                << ",";
        out << " series2=" << c->series2.size() << " bottom=" << Number(c->bottomMin) << ".."
            << Number(c->bottomMax) << " left=" << Number(c->leftMin) << ".." << Number(c->leftMax);
    }
};

}  // namespace

std::string DumpWindow(WindowModel& model, const SessionTimers& timers, const std::string& folder) {
    std::ostringstream out;
    const Window& w = model.window;
    out << "window title=[" << w.title << "] enabled=" << w.enabled << " visible=" << w.visible
        << "\n";
    for (const ControlRef& ref : model.Controls()) {
        const Control& c = BaseOf(ref.control);
        out << ref.name << " visible=" << c.visible << " enabled=" << c.enabled << " caption=["
            << c.caption << "] colour=" << static_cast<std::uint32_t>(c.fontColour);
        std::visit(Extra{out}, ref.control);
        out << "\n";
    }
    const Window& d = model.Parameters.window;
    out << "Parameters visible=" << d.visible << " at=" << d.left << "," << d.top << "\n";
    for (const ControlRef& ref : model.Parameters.Controls()) {
        const Control& c = BaseOf(ref.control);
        out << "Parameters." << ref.name << " visible=" << c.visible << " caption=[" << c.caption
            << "] colour=" << static_cast<std::uint32_t>(c.fontColour) << "\n";
    }
    for (const MenuItemRef& ref : model.MenuItems())
        out << ref.name << " caption=[" << ref.item->caption << "] enabled=" << ref.item->enabled
            << " checked=" << ref.item->checked << "\n";
    // The timers in the order they were numbered when all were the window's; SysTimer's line
    // also says whether the radio modem's repeat, once its task, runs. The reply watchdog's
    // interval is learnt from the round trips: only whether it runs.
    const auto session = [&](int n, const SessionTimer& t, bool interval = true) {
        out << "timer " << n << " enabled=" << t.Enabled();
        if (interval) out << " interval=" << t.Interval();
        out << "\n";
    };
    session(0, timers.StartTimer);
    out << "timer 1 enabled=" << (model.SysTimer.enabled || timers.RadioRepeat.Enabled())
        << " interval=" << model.SysTimer.interval << "\n";
    out << "timer 2 enabled=" << model.TimerBar.enabled << " interval=" << model.TimerBar.interval
        << "\n";
    session(3, timers.Timer1);
    session(4, timers.Timer2);
    session(5, timers.Timer3);
    session(6, timers.Timer4);
    session(7, timers.BTtimer);
    session(8, timers.ReplyTimer, false);
    return Replaced(out.str(), folder, "<start>");
}

std::vector<sim::Frame> WireLog::Handle(std::span<const std::uint8_t> request) {
    // The request as far as its length byte reaches; the rest of a report is padding.
    const std::size_t n =
        request.size() > 1 ? std::min<std::size_t>(request.size(), request[1] + 2u) : 0;
    text += ">" + Hex(request.first(n)) + "\n";
    std::vector<sim::Frame> frames = inner_.Handle(request);
    for (const sim::Frame& f : frames) text += "<" + Hex(f) + "\n";
    return frames;
}

}  // namespace qm::test
