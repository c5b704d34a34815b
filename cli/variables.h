// The variable store: named text values that command lines read as $name.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

class VariableStore {
public:
    bool        Exists(const std::string& name) const;
    std::string Get(const std::string& name) const;  // empty text when absent
    void        Set(const std::string& name, const std::string& value);
    // Stores the value only when the name is new; returns whether it stored.
    bool SetDefault(const std::string& name, const std::string& value);
    // Calls visit(name, value) in name order, holding the store's mutex throughout.
    void ForEach(const std::function<void(const std::string&, const std::string&)>& visit) const;

private:
    mutable std::mutex                 mutex_;
    std::map<std::string, std::string> values_;
};
