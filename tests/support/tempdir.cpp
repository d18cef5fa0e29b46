#include "support/tempdir.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

char separator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string joinNative(const std::string& folder, const std::string& rel) {
    std::string r = rel;
    for (char& c : r)
        if (c == '/') c = separator();
    if (folder.empty()) return r;
    return folder + separator() + r;
}

static std::string baseFolder() {
#ifdef _WIN32
    // Under Wine the tests work on Z: paths, the host's folders.
    std::error_code ec;
    if (fs::is_directory("Z:\\tmp", ec)) return "Z:\\tmp";
#endif
    return fs::temp_directory_path().string();
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::string base = baseFolder();
    while (!base.empty() && (base.back() == '/' || base.back() == '\\')) base.pop_back();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "vaultix-test-" << stamp << "-" << counter++;
        std::string candidate = base + separator() + name.str();
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no temporary folder");
}

TempDir::~TempDir() { removeAll(path_); }

std::string TempDir::operator/(const std::string& rel) const { return joinNative(path_, rel); }

void makeDirs(const std::string& path) { fs::create_directories(path); }

void writeFile(const std::string& path, const std::string& content) {
    fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

std::vector<std::string> subfolders(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void removeAll(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !fs::exists(fs::symlink_status(path, ec))) return;
    // Read-only entries and folders without write permission would stop the removal.
    for (auto it = fs::recursive_directory_iterator(
             path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_symlink(ec)) {
            it.disable_recursion_pending();
            continue;
        }
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
}
