#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

static uint32_t windowsError(int e) {
    switch (e) {
    case ENOENT:
        return 2;
    case ENOTDIR:
        return 3;
    case EACCES:
    case EPERM:
    case EISDIR:
        return 5;
    case EBADF:
        return 6;
    case EEXIST:
        return 80;
    case ENOSPC:
        return 112;
    case ENAMETOOLONG:
        return 206;
    case EIO:
        return 1117;
    default:
        return 31;
    }
}

// Windows tells a missing file (2) from a missing directory on the way to it (3).
static uint32_t pathError(int e, const std::string &hostPath) {
    size_t slash = hostPath.find_last_of('/');
    struct stat st;
    if (e == ENOENT && slash != std::string::npos && slash > 0 &&
        stat(hostPath.substr(0, slash).c_str(), &st) != 0)
        return 3;
    return windowsError(e);
}

int FakeDialogHost::getText(int id, char *buf, int size) {
    const std::string &t = texts[id];
    int n = int(t.size()) < size - 1 ? int(t.size()) : size - 1;
    if (size > 0) {
        std::memcpy(buf, t.data(), n);
        buf[n] = 0;
    }
    return n;
}

void FakeDialogHost::setText(int id, const char *t) {
    texts[id] = t;
    if (logic) logic->command(*this, id, kNotifyChange);
}

void FakeDialogHost::focus(int id) {
    if (focused == id) return;
    int old = focused;
    focused = id;
    if (!logic) return;
    if (old) logic->command(*this, old, kNotifyKillFocus);
    logic->command(*this, id, kNotifySetFocus);
}

void FakeDialogHost::type(int id, const std::string &text) {
    focus(id);
    texts[id].clear();
    for (char c : text) {
        auto limit = limits.find(id); // the logic may change it with every key
        if (limit != limits.end() && limit->second > 0 && int(texts[id].size()) >= limit->second)
            continue;
        texts[id] += c;
        if (logic) logic->command(*this, id, kNotifyChange);
    }
}

bool FakeDialogHost::click(int id, bool toggleCheck) {
    if (toggleCheck) checks[id] = !checks[id];
    return logic && logic->command(*this, id, 0);
}

FakePlatform::FakePlatform() {
    clearScreen();
}

FakePlatform::~FakePlatform() {
    for (auto &h : handles_)
        close(h.second.fd);
    for (FakeDialogHost *m : modeless)
        delete m;
}

void FakePlatform::clearScreen() {
    for (auto &r : screen)
        for (auto &c : r)
            c = FakeCell{};
    textCalls = 0;
    textCallsPerRow.clear();
}

std::string FakePlatform::row(int r) const {
    return cells(r, 0, 88);
}

std::string FakePlatform::cells(int r, int c, int n) const {
    std::string s;
    for (int i = c; i < c + n && i < kCols; ++i)
        s += screen[r][i].ch;
    return s;
}

std::string FakePlatform::hostPath(const char *path) const {
    std::string p = path;
    for (auto &d : devices)
        if (strcasecmp(d.first.c_str(), path) == 0) return d.second;
    if (p.size() >= 2 && p[1] == ':' && std::isalpha(uint8_t(p[0]))) {
        int d = std::toupper(uint8_t(p[0])) - 'A';
        auto it = drives.find(d);
        if (it != drives.end()) {
            std::string rest = p.substr(2);
            for (char &c : rest)
                if (c == '\\') c = '/';
            if (rest.empty() || rest[0] != '/') rest = "/" + rest;
            return it->second.dir + rest;
        }
    }
    return p;
}

void FakePlatform::failRead(int nth, uint32_t code, const std::string &pathPart) {
    readFaults_.push_back({reads + nth, code, pathPart});
}

void FakePlatform::failWrite(int nth, uint32_t code, const std::string &pathPart) {
    writeFaults_.push_back({writes + nth, code, pathPart});
}

bool FakePlatform::checkFault(std::vector<Fault> &faults, int count, const std::string &path) {
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it->at != count) continue;
        if (!it->pathPart.empty() && path.find(it->pathPart) == std::string::npos) {
            ++it->at; // wait for the next call on that file
            continue;
        }
        lastError_ = it->code;
        faults.erase(it);
        // Faults that waited for the same call keep their order behind this one.
        for (Fault &f : faults)
            if (f.at == count) ++f.at;
        return true;
    }
    return false;
}

void FakePlatform::unexpected(const std::string &what) {
    if (onUnexpected) onUnexpected(what);
}

Handle FakePlatform::openFile(const char *path, unsigned access, unsigned share, Disposition disp) {
    std::string hp = hostPath(path);
    struct stat st;
    bool exists = stat(hp.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        lastError_ = 5;
        return kInvalidHandle;
    }
    if (exists) {
        for (auto &h : handles_) {
            struct stat other;
            if (fstat(h.second.fd, &other) != 0 || other.st_ino != st.st_ino ||
                other.st_dev != st.st_dev)
                continue;
            const OpenFile &o = h.second;
            bool clash = ((access & kAccessRead) && !(o.share & kShareRead)) ||
                         ((access & kAccessWrite) && !(o.share & kShareWrite)) ||
                         ((o.access & kAccessRead) && !(share & kShareRead)) ||
                         ((o.access & kAccessWrite) && !(share & kShareWrite));
            if (clash) {
                lastError_ = 32;
                return kInvalidHandle;
            }
        }
    }
    int flags = (access & kAccessWrite) ? O_RDWR : O_RDONLY;
    switch (disp) {
    case Disposition::OpenExisting:
        break;
    case Disposition::CreateAlways:
        flags |= O_CREAT | O_TRUNC;
        break;
    case Disposition::OpenAlways:
        flags |= O_CREAT;
        break;
    case Disposition::CreateNew:
        flags |= O_CREAT | O_EXCL;
        break;
    case Disposition::TruncateExisting:
        flags |= O_TRUNC;
        break;
    }
    int fd = open(hp.c_str(), flags, 0644);
    if (fd < 0) {
        lastError_ = pathError(errno, hp);
        return kInvalidHandle;
    }
    Handle h = nextHandle_++;
    handles_[h] = OpenFile{fd, hp, access, share, 0};
    lastError_ = (exists && (disp == Disposition::OpenAlways || disp == Disposition::CreateAlways))
                     ? kErrAlreadyExists
                     : 0;
    return h;
}

bool FakePlatform::closeHandle(Handle h) {
    auto it = handles_.find(h);
    if (it == handles_.end()) {
        lastError_ = 6;
        return false;
    }
    close(it->second.fd);
    handles_.erase(it);
    return true;
}

bool FakePlatform::readFile(Handle h, void *buf, uint32_t n, uint32_t *got) {
    *got = 0;
    auto it = handles_.find(h);
    if (it == handles_.end()) {
        lastError_ = 6;
        return false;
    }
    ++reads;
    if (checkFault(readFaults_, reads, it->second.path)) return false;
    if (!(it->second.access & kAccessRead)) {
        lastError_ = 5;
        return false;
    }
    ssize_t r = pread(it->second.fd, buf, n, off_t(it->second.pos));
    if (r < 0) {
        lastError_ = windowsError(errno);
        return false;
    }
    it->second.pos += uint64_t(r);
    *got = uint32_t(r);
    return true;
}

bool FakePlatform::writeFile(Handle h, const void *buf, uint32_t n, uint32_t *put) {
    *put = 0;
    auto it = handles_.find(h);
    if (it == handles_.end()) {
        lastError_ = 6;
        return false;
    }
    ++writes;
    if (checkFault(writeFaults_, writes, it->second.path)) return false;
    if (!(it->second.access & kAccessWrite)) {
        lastError_ = 5;
        return false;
    }
    crashPoint(it->second.path);
    ssize_t r = pwrite(it->second.fd, buf, n, off_t(it->second.pos));
    if (r < 0) {
        lastError_ = windowsError(errno);
        return false;
    }
    it->second.pos += uint64_t(r);
    *put = uint32_t(r);
    return true;
}

bool FakePlatform::seekFile(Handle h, uint64_t pos) {
    auto it = handles_.find(h);
    if (it == handles_.end()) {
        lastError_ = 6;
        return false;
    }
    if (pos > 0x7FFFFFFFFFFFFFFFull) {
        lastError_ = 131;
        return false;
    }
    it->second.pos = pos;
    return true;
}

bool FakePlatform::fileSize(Handle h, uint64_t *size) {
    auto it = handles_.find(h);
    struct stat st;
    if (it == handles_.end() || fstat(it->second.fd, &st) != 0) {
        lastError_ = 6;
        return false;
    }
    *size = uint64_t(st.st_size);
    return true;
}

bool FakePlatform::setEndOfFile(Handle h) {
    auto it = handles_.find(h);
    if (it == handles_.end()) {
        lastError_ = 6;
        return false;
    }
    if (!(it->second.access & kAccessWrite)) {
        lastError_ = 5;
        return false;
    }
    ++writes;
    if (checkFault(writeFaults_, writes, it->second.path)) return false;
    crashPoint(it->second.path);
    if (ftruncate(it->second.fd, off_t(it->second.pos)) != 0) {
        lastError_ = windowsError(errno);
        return false;
    }
    return true;
}

bool FakePlatform::flushFile(Handle h) {
    auto it = handles_.find(h);
    if (it == handles_.end()) {
        lastError_ = 6;
        return false;
    }
    if (durable_.count(it->second.path)) keepDurable(it->second.path);
    if (realFlush && fsync(it->second.fd) != 0) {
        lastError_ = windowsError(errno);
        return false;
    }
    return true;
}

void FakePlatform::keepDurable(const std::string &path) {
    Durable &d = durable_[path];
    d.bytes.clear();
    int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        if (fd >= 0) close(fd);
        return;
    }
    d.bytes.resize(size_t(st.st_size));
    if (pread(fd, d.bytes.data(), d.bytes.size(), 0) != ssize_t(d.bytes.size())) d.bytes.clear();
    d.mtimeSec = st.st_mtim.tv_sec, d.mtimeNsec = st.st_mtim.tv_nsec;
    close(fd);
}

void FakePlatform::armCrash(const std::vector<std::string> &files, int at, bool power) {
    crashFiles = files;
    crashWrites = 0;
    crashAt = at;
    powerLoss = power;
    durable_.clear();
    for (const std::string &f : files)
        keepDurable(f);
}

void FakePlatform::crashPoint(const std::string &path) {
    if (std::find(crashFiles.begin(), crashFiles.end(), path) == crashFiles.end()) return;
    if (++crashWrites != crashAt) return;
    if (powerLoss) {
        for (auto &[file, d] : durable_) {
            int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC);
            if (fd < 0) continue;
            if (!d.bytes.empty() && write(fd, d.bytes.data(), d.bytes.size()) < 0) _exit(2);
            struct timespec t[2] = {{0, UTIME_OMIT}, {time_t(d.mtimeSec), long(d.mtimeNsec)}};
            futimens(fd, t);
            close(fd);
        }
    }
    _exit(0);
}

bool FakePlatform::getFileTimes(Handle h, FileTimes *t) {
    auto it = handles_.find(h);
    struct stat st;
    if (it == handles_.end() || fstat(it->second.fd, &st) != 0) {
        lastError_ = 6;
        return false;
    }
    // FILETIME: 100 ns units since 1601.
    auto ft = [](const timespec &ts) {
        return (uint64_t(ts.tv_sec) + 11644473600ull) * 10000000ull + uint64_t(ts.tv_nsec) / 100;
    };
    t->creation = ft(st.st_ctim);
    t->lastAccess = ft(st.st_atim);
    t->lastWrite = ft(st.st_mtim);
    return true;
}

bool FakePlatform::copyFile(const char *from, const char *to, bool failIfExists) {
    std::string src = hostPath(from), dst = hostPath(to);
    int in = open(src.c_str(), O_RDONLY);
    if (in < 0) {
        lastError_ = pathError(errno, src);
        return false;
    }
    int out = open(dst.c_str(), O_WRONLY | O_CREAT | (failIfExists ? O_EXCL : O_TRUNC), 0644);
    if (out < 0) {
        lastError_ = pathError(errno, dst);
        close(in);
        return false;
    }
    char buf[65536];
    ssize_t r;
    bool ok = true;
    while ((r = read(in, buf, sizeof buf)) > 0) {
        ++writes;
        if (checkFault(writeFaults_, writes, dst) || write(out, buf, size_t(r)) != r) {
            if (errno == ENOSPC) lastError_ = 112;
            ok = false;
            break;
        }
    }
    close(in);
    close(out);
    if (!ok) unlink(dst.c_str());
    return ok;
}

bool FakePlatform::deleteFile(const char *path) {
    if (unlink(hostPath(path).c_str()) != 0) {
        lastError_ = pathError(errno, hostPath(path));
        return false;
    }
    return true;
}

bool FakePlatform::createDirectory(const char *path) {
    std::string hp = hostPath(path);
    while (hp.size() > 1 && hp.back() == '/')
        hp.pop_back();
    if (mkdir(hp.c_str(), 0755) != 0) {
        lastError_ = errno == EEXIST ? kErrAlreadyExists : pathError(errno, hp);
        return false;
    }
    return true;
}

bool FakePlatform::setCurrentDirectory(const char *path) {
    if (chdir(hostPath(path).c_str()) != 0) {
        lastError_ = pathError(errno, hostPath(path));
        return false;
    }
    return true;
}

uint32_t FakePlatform::fullPathName(const char *name, char *out, uint32_t size) {
    std::string n = name;
    if (n.empty() || (n[0] != '/' && !(n.size() > 1 && n[1] == ':'))) {
        char cwd[1024];
        if (!getcwd(cwd, sizeof cwd)) return 0;
        n = std::string(cwd) + "/" + n;
    }
    if (n.size() + 1 > size) return 0; // too small, as the Win32 platform reports it
    std::memcpy(out, n.c_str(), n.size() + 1);
    return uint32_t(n.size());
}

uint32_t FakePlatform::logicalDrives() {
    uint32_t mask = 0;
    for (auto &d : drives)
        mask |= 1u << d.first;
    return mask;
}

uint32_t FakePlatform::driveType(const char *root) {
    if (!root || !root[0]) return kDriveNoRootDir;
    auto it = drives.find(std::toupper(uint8_t(root[0])) - 'A');
    return it == drives.end() ? kDriveNoRootDir : it->second.type;
}

bool FakePlatform::diskFreeSpace(const char *root, uint64_t *freeBytes, uint64_t *totalBytes) {
    auto it = root && root[0] ? drives.find(std::toupper(uint8_t(root[0])) - 'A') : drives.end();
    if (it == drives.end()) {
        lastError_ = 15;
        return false;
    }
    *freeBytes = it->second.freeBytes;
    *totalBytes = it->second.totalBytes;
    return true;
}

bool FakePlatform::diskGeometry(Handle h, DiskGeometry *g) {
    uint64_t size;
    if (geometryFails) {
        lastError_ = 1; // ERROR_INVALID_FUNCTION: not a disk
        return false;
    }
    if (!fileSize(h, &size)) return false;
    if (geometry.cylinders) {
        *g = geometry;
        return true;
    }
    g->bytesPerSector = 512;
    g->sectorsPerTrack = 63;
    g->tracksPerCylinder = 255;
    g->cylinders = size / (512ull * 63 * 255);
    return true;
}

bool FakePlatform::diskLength(Handle h, uint64_t *bytes) {
    if (lengthFails) {
        lastError_ = 1;
        return false;
    }
    return fileSize(h, bytes);
}

void FakePlatform::textOut(int x, int y, const char *text, int len, uint32_t bgColour) {
    ++textCalls;
    int cw = fontCw > 0 ? fontCw : 8, lh = fontLh > 0 ? fontLh : 16;
    int r = y / lh, c = x / cw;
    ++textCallsPerRow[r];
    if (drawDepth_ <= 0) unexpected("text drawn outside beginDraw/endDraw");
    if (x % cw || y % lh) unexpected("text drawn off the character grid");
    if (r < 0 || r >= kRows) return;
    for (int i = 0; i < len; ++i) {
        if (c + i < 0 || c + i >= kCols) continue;
        screen[r][c + i].ch = text[i];
        screen[r][c + i].bg = bgColour;
    }
}

bool FakePlatform::createViewFont(int height, int width, int *cw, int *lh) {
    ++fontsCreated;
    fontCw = width;
    fontLh = height;
    *cw = width;
    *lh = height;
    return true;
}

bool FakePlatform::insertMenuItem(int popup, int position, unsigned command, const char *text) {
    insertedItems.push_back({popup, position, command, text});
    auto it = menus.find(popup);
    if (it != menus.end()) {
        auto &items = it->second;
        if (position < 0 || position > int(items.size())) return false;
        items.insert(items.begin() + position, {command, text});
    }
    return true;
}

bool FakePlatform::setMenuItemText(int popup, int position, unsigned command, const char *text) {
    renamedItems.push_back({popup, position, command, text});
    auto it = menus.find(popup);
    if (it != menus.end()) {
        auto &items = it->second;
        if (position < 0 || position >= int(items.size())) return false;
        items[position] = {command, text};
    }
    return true;
}

int FakePlatform::messageBox(const char *text, const char *caption, unsigned style) {
    boxes.push_back({text, caption, style});
    if (boxAnswers.empty()) {
        unexpected(std::string("unexpected message box: [") + caption + "] " + text);
        return (style & 0xF) == kMbYesNo ? kIdNo : kIdCancel;
    }
    FakeBoxAnswer a = boxAnswers.front();
    boxAnswers.pop_front();
    if (!a.caption.empty() && a.caption != caption)
        unexpected("message box caption [" + std::string(caption) + "], expected [" + a.caption +
                   "]: " + text);
    if (!a.textContains.empty() && std::string(text).find(a.textContains) == std::string::npos)
        unexpected("message box text lacks [" + a.textContains + "]: " + text);
    return a.answer;
}

bool FakePlatform::fileDialog(FileDialogRecord &rec) {
    fileDialogsShown.push_back(rec);
    if (fileDialogAnswers.empty()) {
        unexpected("unexpected file dialog");
        return false;
    }
    FakeFileDialogAnswer a = fileDialogAnswers.front();
    fileDialogAnswers.pop_front();
    if (!a.ok) return false;
    std::snprintf(rec.file, sizeof rec.file, "%s", a.path.c_str());
    const char *slash = std::strrchr(rec.file, '/');
    const char *bslash = std::strrchr(rec.file, '\\');
    const char *base = slash > bslash ? slash : bslash;
    std::snprintf(rec.title, sizeof rec.title, "%s", base ? base + 1 : rec.file);
    rec.readOnly = a.readOnly;
    return true;
}

bool FakePlatform::openFileDialog(FileDialogRecord &rec) {
    return fileDialog(rec);
}
bool FakePlatform::saveFileDialog(FileDialogRecord &rec) {
    return fileDialog(rec);
}

int FakePlatform::runModalDialog(int id, DialogLogic &logic) {
    dialogsShown.push_back(id);
    FakeDialogHost host;
    host.logic = &logic;
    logic.init(host);
    if (dialogScripts.empty()) {
        unexpected("unexpected dialog " + std::to_string(id));
        return 2;
    }
    FakeDialogScript script = dialogScripts.front();
    dialogScripts.pop_front();
    script(id, logic, host);
    if (!host.ended) unexpected("dialog " + std::to_string(id) + " was not ended");
    return host.result;
}

DialogHost *FakePlatform::openModelessDialog(int id, DialogLogic &logic) {
    dialogsShown.push_back(id);
    FakeDialogHost *host = new FakeDialogHost;
    host->logic = &logic;
    modeless.push_back(host);
    modelessLogic.push_back(&logic);
    logic.init(*host);
    return host;
}

bool FakePlatform::clickModeless(int id, bool toggleCheck) {
    if (modeless.empty()) return false;
    FakeDialogHost *host = modeless.back();
    if (host->ended) {
        unexpected("click on a closed modeless dialog");
        return false;
    }
    if (toggleCheck) host->checks[id] = !host->checks[id];
    return modelessLogic.back()->command(*host, id, 0);
}

int FakePlatform::pollMessage() {
    if (onPoll) onPoll();
    if (keys.empty()) return -1;
    int k = keys.front();
    keys.pop_front();
    return k;
}

unsigned FakePlatform::registerClipboardFormat(const char *name) {
    auto it = formats_.find(name);
    if (it != formats_.end()) return it->second;
    unsigned id = 0xC000 + unsigned(formats_.size());
    formats_[name] = id;
    return id;
}

bool FakePlatform::clipboardSet(unsigned format, const void *data, uint32_t size) {
    const uint8_t *p = static_cast<const uint8_t *>(data);
    clipboard[format].assign(p, p + size);
    return true;
}

int64_t FakePlatform::clipboardGet(unsigned format, void *buf, uint32_t size, uint64_t offset) {
    auto it = clipboard.find(format);
    if (it == clipboard.end()) return -1;
    uint64_t have = it->second.size();
    uint64_t left = offset < have ? have - offset : 0;
    uint32_t n = left < size ? uint32_t(left) : size;
    if (n) std::memcpy(buf, it->second.data() + offset, n);
    return int64_t(it->second.size());
}
