#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace qm {

// Click and change handlers by control name; each part registers its own.
class Handlers {
public:
    using Fn = std::function<void()>;
    void OnClick(std::string_view name, Fn f) { clicks_.emplace(name, std::move(f)); }
    void OnChange(std::string_view name, Fn f) { changes_.emplace(name, std::move(f)); }
    const Fn* Click(std::string_view name) const { return Find(clicks_, name); }
    const Fn* Change(std::string_view name) const { return Find(changes_, name); }

private:
    using Table = std::map<std::string, Fn, std::less<>>;
    static const Fn* Find(const Table& t, std::string_view name) {
        const auto it = t.find(name);
        return it == t.end() ? nullptr : &it->second;
    }
    Table clicks_;
    Table changes_;
};

}  // namespace qm
