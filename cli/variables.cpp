#include "cli/variables.h"

bool VariableStore::Exists(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return values_.count(name) != 0;
}

std::string VariableStore::Get(const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto            it = values_.find(name);
    return it == values_.end() ? std::string() : it->second;
}

void VariableStore::Set(const std::string& name, const std::string& value) {
    std::lock_guard lock(mutex_);
    values_[name] = value;
}

bool VariableStore::SetDefault(const std::string& name, const std::string& value) {
    std::lock_guard lock(mutex_);
    return values_.emplace(name, value).second;
}

void VariableStore::ForEach(
    const std::function<void(const std::string&, const std::string&)>& visit) const {
    std::lock_guard lock(mutex_);
    for (const auto& [name, value] : values_)
        visit(name, value);
}
