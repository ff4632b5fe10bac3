#include "catalog/Catalog.h"

#include <sys/stat.h>

#include <algorithm>

namespace quillet {

namespace {

// Reads through another key without changing the handle's own key.
template <class Store>
auto readByKey(Store& store, std::string_view keyName, const std::vector<Value>& key) {
    const std::string own = store.keyName();
    store.setKey(keyName);
    auto row = store.find(key);
    store.setKey(own);
    return row;
}

// The next project number: above every project and above every project that components
// still name, so that a new project never inherits the components (and the files) of one
// whose record was lost.
Result<std::int64_t> nextProjectNumber(RecordDatabase& db) {
    auto next = db.nextNumber(catalog::Project, "SYSID");
    if (!next) return next;
    auto aboveComponents = db.nextNumber(catalog::Comps, "PROSYSID");
    if (!aboveComponents) return aboveComponents;
    return std::max(*next, *aboveComponents);
}

Result<std::int64_t> nextNumberOf(RecordDatabase& db, std::string_view label) {
    return label == catalog::Project ? nextProjectNumber(db) : db.nextNumber(label, "SYSID");
}

// Stores item, first giving a SYSID of 0 the next number of the table. Numbering and
// storing happen in one transaction, so two processes cannot take one number.
template <class T>
Result<T> insertNumbered(RecordDatabase& db, KeyedStore<T>& store, std::string_view label, const T& item) {
    if (item.SYSID != 0) return store.insert(item);
    std::optional<Result<T>> stored;
    Status s = db.transaction([&]() -> Status {
        auto next = nextNumberOf(db, label);
        if (!next) return Status::failure(next.error());
        T numbered = item;
        numbered.SYSID = static_cast<std::int32_t>(*next);
        stored.emplace(store.insert(numbered));
        return stored->ok() ? Status() : Status::failure(stored->error());
    });
    if (!s) return Result<T>::failure(s.error());
    return *stored;
}

}  // namespace

Catalog::Catalog(std::string dataFolder, int busyTimeoutMs)
    : db_(std::move(dataFolder), catalogFiles(), busyTimeoutMs) {}

// Project.tps missing or empty while Comps.tps still holds components means the projects
// were lost, not that this is a first start: creating an empty Project.tps would hand the
// old components (and their files) to the next new project.
Status Catalog::checkProjectsBesideComponents() {
    const std::string projects = db_.pathOf(catalog::ProjectFile);
    const std::string comps = db_.pathOf(catalog::CompsFile);
    struct stat st {};
    const bool projectsMissing = ::stat(projects.c_str(), &st) != 0;
    if (!projectsMissing && st.st_size > 0) return {};
    if (::stat(comps.c_str(), &st) != 0 || st.st_size == 0) return {};
    RecordDatabase alone(db_.folder(), {catalogFiles()[1]});
    if (Status s = alone.open(); !s) return s;
    const auto components = alone.count(catalog::Comps);
    alone.close();
    if (!components) return Status::failure(components.error());
    if (*components == 0) return {};
    return Status::failure(
        "The record file " + projects + (projectsMissing ? " is missing" : " is empty") + ", but " +
        std::string(catalog::CompsFile) + " beside it still holds " + std::to_string(*components) + " component" +
        (*components > 1 ? "s" : "") + " of projects.|Nothing has been recreated: put back a copy of " +
        std::string(catalog::ProjectFile) + ", or move " + std::string(catalog::CompsFile) + " away to start afresh.");
}

Status Catalog::open() {
    if (users_ > 0) {
        ++users_;
        return {};
    }
    if (Status s = checkProjectsBesideComponents(); !s) return s;
    Status s = db_.open();
    if (s) users_ = 1;
    return s;
}

void Catalog::close() {
    if (users_ == 0) return;
    if (--users_ == 0) db_.close();
}

ProjectStore Catalog::projects() {
    return ProjectStore(db_);
}
ComponentStore Catalog::components() {
    return ComponentStore(db_);
}
MaskStore Catalog::masks() {
    return MaskStore(db_);
}
MaskThemeStore Catalog::themes() {
    return MaskThemeStore(db_);
}

Status Catalog::deleteProject(std::int32_t sysId) {
    return db_.transaction([&]() -> Status {
        RecordCursor comps(db_, std::string(catalog::Comps), std::string(catalog::K_Path));
        if (auto removed = comps.eraseMatching({Value(std::int64_t{sysId})}); !removed)
            return Status::failure(removed.error());
        RecordCursor projects(db_, std::string(catalog::Project), std::string(catalog::K_SysID));
        auto removed = projects.eraseMatching({Value(std::int64_t{sysId})});
        if (!removed) return Status::failure(removed.error());
        if (*removed == 0)
            return Status::failure("The project was not deleted: it is no longer in " +
                                   std::string(catalog::ProjectFile) + " (another window or process has deleted it).");
        return {};
    });
}

Result<std::optional<Mask>> Catalog::maskOf(const Component& component) {
    MaskStore masks(db_);
    return masks.find({Value(component.MASK)});
}

Result<Project> ProjectStore::prime() {
    auto next = nextProjectNumber(db_);
    if (!next) return Result<Project>::failure(next.error());
    Project p;
    p.SYSID = static_cast<std::int32_t>(*next);
    p.MAXBACKUPS = catalog::DefaultMaxBackups;
    return p;
}

Result<Project> ProjectStore::insert(const Project& project) {
    return insertNumbered<Project>(db_, *this, catalog::Project, project);
}

Status ProjectStore::update(const Project& project) {
    auto before = db_.fetch(catalog::Project, project.recordId);
    if (!before) return Status::failure(before.error());
    if (before->has_value() && (*before)->number(0) != project.SYSID)
        return Status::failure("PRJ:SYSID is given once and never changes.");
    return KeyedStore::update(project);
}

Result<ProjectStore::Row> ProjectStore::bySysId(std::int32_t sysId) {
    return readByKey(*this, catalog::K_SysID, {Value(std::int64_t{sysId})});
}

Result<ProjectStore::Row> ProjectStore::byName(const std::string& name) {
    return readByKey(*this, catalog::K_Name, {Value(name)});
}

Result<ProjectStore::Row> ProjectStore::byPrefix(const std::string& prefix) {
    return readByKey(*this, catalog::K_Prefix, {Value(prefix)});
}

Result<std::vector<Component>> ComponentStore::ofProject(std::int32_t sysId, std::string_view keyName) {
    const std::string own = this->keyName();
    if (Status s = setKey(keyName); !s) return Result<std::vector<Component>>::failure(s.error());
    auto rows = all({Value(std::int64_t{sysId})});
    setKey(own);
    return rows;
}

Result<MaskTheme> MaskThemeStore::prime() {
    auto next = db_.nextNumber(catalog::MskTheme, "SYSID");
    if (!next) return Result<MaskTheme>::failure(next.error());
    MaskTheme t;
    t.SYSID = static_cast<std::int32_t>(*next);
    return t;
}

Result<MaskTheme> MaskThemeStore::insert(const MaskTheme& theme) {
    return insertNumbered<MaskTheme>(db_, *this, catalog::MskTheme, theme);
}

Result<MaskThemeStore::Row> MaskThemeStore::byName(const std::string& name) {
    return readByKey(*this, catalog::K_Name, {Value(name)});
}

}  // namespace quillet
