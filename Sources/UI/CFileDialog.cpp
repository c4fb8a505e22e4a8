#include "UI/CFileDialog.h"

#include "Core/CAppData.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CNotifyServer.h"
#include "Core/CObject.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/Log.h"
#include "Core/RecordTags.h"
#include "Platform/CFileDialogProcess.h"

#include <mutex>
#include <string>

namespace tal {

namespace {

constexpr double kPollSeconds = 0.1;   // how often a shown panel's answer is read

std::string utf8Of(const CString& text) {
    CByteBuffer bytes;
    bytes.initUTF8(text);
    return std::string(reinterpret_cast<const char*>(bytes.data()), std::size_t(bytes.size() > 0 ? bytes.size() - 1 : 0));
}

CString fromUtf8(const std::string& text) {
    CString out;
    out.setUTF8(text.data(), int(text.size()));
    return out;
}

// The scope and item name of a folder key: a leading '/' selects the global scope.
CAppData& scopeOfKey(const CString& key, CString& name) {
    if (key.length() > 0 && key.charAt(0) == '/') {
        name = CString(key, 1, -1);
        return CAppData::globalScope();
    }
    name = key;
    return CAppData::localScope();
}

// The name completed with the default extension when it has none (no text after a last '.').
CString withExtension(const CString& name, const CString& extension) {
    const int dot = name.findLast(CString("."));
    const bool hasExtension = dot >= 0 && dot + 1 < name.length();
    if (name.isEmpty() || hasExtension || extension.isEmpty())
        return name;
    CString out(name);
    out.append(".");
    out.append(extension);
    return out;
}

void logAndFree(CError* error) {
    if (error) {
        logError(error);
        delete error;
    }
}

void postStep(CMainLoopTimers::PostedCall step, std::int32_t id) {
    CMainLoopTimers* loop = CMainLoopTimers::current();
    if (loop == nullptr || !loop->postCall(step, nullptr, id))
        step(nullptr, id);   // no loop to defer to: the step runs now
}

} // namespace

void CFileDialogParams::copyFrom(const CFileDialogParams& other) {
    mode = other.mode;
    startFolder = other.startFolder;
    suggestedName = other.suggestedName;
    defaultExtension = other.defaultExtension;
    filters.clear();
    for (auto* n = other.filters.first(); n != nullptr; n = decltype(other.filters)::next(n))
        filters.findOrAdd(n->key)->value = n->value;
    allowMultiple = other.allowMultiple;
    resultEvent = other.resultEvent;
    eventParams.clear();
    for (auto* n = other.eventParams.first(); n != nullptr; n = CAttrMap::next(n))
        eventParams.findOrAdd(n->key)->value = n->value;
    folderKey = other.folderKey;
}

CFileDialog& CFileDialog::instance() {
    static CFileDialog service;
    return service;
}

CFileDialog::Request* CFileDialog::pendingRequest(std::int32_t id) {
    CFileDialog& self = instance();
    std::lock_guard lock(self.mMutex);
    const auto it = self.mPending.find(id);
    return it != self.mPending.end() ? it->second.get() : nullptr;
}

CError* CFileDialog::open(CObject* view, const CFileDialogParams& params) {
    if (view == nullptr)
        return newError("@talstr_CFileDialog_NoView A file dialog needs a view.");
    auto request = std::make_unique<Request>();
    request->params.copyFrom(params);
    request->owner = view->getFullName();
    request->registryId = view->getEventRegistryId();
    CFileDialogParams& p = request->params;
    if (p.mode == 1) {
        // Characters that cannot stand in a file name on some systems become blanks.
        CString& name = p.suggestedName;
        for (const char c : {'|', '\\', '/', '*', '"', '>', '<', '?'})
            for (int i = 0; i < name.length(); ++i)
                if (name.charAt(i) == std::uint32_t(c))
                    name.replace(i, 1, CString(" "));
    }
    if (p.defaultExtension.isEmpty() && p.filters.first() != nullptr)
        p.defaultExtension = p.filters.first()->key;
    if (!p.folderKey.isEmpty()) {
        CString name;
        CAppData& scope = scopeOfKey(p.folderKey, name);
        CByteBuffer bytes;
        scope.read(name, bytes, kTagAppData, false);
        if (!bytes.isEmpty()) {
            CMemoryReader reader(bytes.data(), bytes.size());
            CString folder;
            if (CError* err = reader.readString(folder))
                return traceError(err, CString("UI/CFileDialog"));
            p.startFolder = folder;
        }
    }
    if (CMainLoopTimers::current() == nullptr)
        return newError("@talstr_CFileDialog_NoLoop No main loop to show the file dialog on.");
    CFileDialog& self = instance();
    std::int32_t id = 0;
    {
        std::lock_guard lock(self.mMutex);
        id = self.mNextId++;
        self.mPending.emplace(id, std::move(request));
    }
    postStep(&CFileDialog::postedOpen, id);
    return nullptr;
}

void CFileDialog::postedOpen(void*, std::int64_t id) { logAndFree(handleEvent(std::int32_t(id))); }

void CFileDialog::postedClose(void*, std::int64_t id) { closeRequest(std::int32_t(id)); }

CError* CFileDialog::handleEvent(std::int32_t id) {
    Request* request = pendingRequest(id);
    if (request == nullptr)
        return nullptr;
    const CFileDialogParams& p = request->params;
    if (p.mode < 0 || p.mode > 2) {
        // The request goes too, so nothing stays pending for ever.
        postStep(&CFileDialog::postedClose, id);
        return traceError(newError("@talstr_CFileDialog_BadMode Invalid file dialog mode."), CString("UI/CFileDialog"));
    }
    CFileDialogProcess::Request panelRequest;
    panelRequest.mode = p.mode;
    panelRequest.startFolder = utf8Of(p.startFolder);
    panelRequest.suggestedName = utf8Of(p.suggestedName);
    for (auto* n = p.filters.first(); n != nullptr; n = decltype(p.filters)::next(n))
        panelRequest.filters.emplace_back(utf8Of(n->key), utf8Of(n->value));
    panelRequest.allowMultiple = p.mode == 0 && p.allowMultiple;
    auto panel = std::make_unique<CFileDialogProcess>();
    std::string error;
    CMainLoopTimers* loop = CMainLoopTimers::current();
    CMainLoopTimers::TimerId timer = 0;
    if (!panel->start(panelRequest, error) || loop == nullptr ||
        loop->installTimer(kPollSeconds, kPollSeconds, &CFileDialog::onPollTimer,
                           reinterpret_cast<void*>(std::intptr_t(id)), timer) != CMainLoopTimers::kStatusOk) {
        writeLog(("File dialog: " + (error.empty() ? std::string("the panel cannot be shown.") : error)).c_str(), true);
        deliverResult(id, {});
        return nullptr;
    }
    request->panel = std::move(panel);
    request->pollTimer = timer;
    request->timerService = loop;
    return nullptr;
}

void CFileDialog::onPollTimer(CMainLoopTimers::TimerId, void* idPointer) {
    const auto id = std::int32_t(reinterpret_cast<std::intptr_t>(idPointer));
    Request* request = pendingRequest(id);
    if (request == nullptr)
        return;
    std::vector<std::string> paths;
    if (!request->panel || !request->panel->onReadable(paths))
        return;                                   // still shown
    stopPolling(*request);
    std::vector<CString> list;
    const bool multiple = request->params.mode == 0 && request->params.allowMultiple;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const CString path = fromUtf8(paths[i]);
        if (!multiple) {
            list.push_back(path);
            break;
        }
        // Several files: the first one's folder, then every name.
        const int slash = path.findLast(CString("/"));
        if (i == 0)
            list.push_back(slash >= 0 ? CString(path, 0, slash) : CString());
        list.push_back(slash >= 0 ? CString(path, slash + 1, -1) : CString());
    }
    deliverResult(id, list);
}

void CFileDialog::stopPolling(Request& request) {
    if (request.pollTimer != 0 && CMainLoopTimers::current() == request.timerService && request.timerService)
        request.timerService->removeTimer(request.pollTimer);
    request.pollTimer = 0;
    request.timerService = nullptr;
}

void CFileDialog::deliverResult(std::int32_t id, const std::vector<CString>& list) {
    Request* request = pendingRequest(id);
    if (request == nullptr)
        return;
    const CFileDialogParams& p = request->params;
    if (!list.empty() && !list[0].isEmpty()) {
        CAttrMap params;
        for (auto* n = p.eventParams.first(); n != nullptr; n = CAttrMap::next(n))
            params.findOrAdd(n->key)->value = n->value;
        CString path;
        if (list.size() == 1) {
            path = list[0];
            CString name;
            if (p.mode == 0 || p.mode == 1) {
                const int slash = path.findLast(CString("/"));
                name = slash >= 0 ? CString(path, slash + 1, -1) : path;
                path = slash >= 0 ? CString(path, 0, slash + 1) : CString();
            }
            name = withExtension(name, p.defaultExtension);
            if (p.allowMultiple) {
                params.findOrAdd("0")->value.setText(name);
                params.findOrAdd("count")->value.setInt(1);
            } else {
                params.findOrAdd("filename")->value.setText(name);
            }
        } else {
            path = list[0];
            path.append("/");
            int stored = 0;
            for (std::size_t i = 1; i < list.size(); ++i)
                if (!list[i].isEmpty())
                    params.findOrAdd(CString(stored++))->value.setText(withExtension(list[i], p.defaultExtension));
            params.findOrAdd("count")->value.setInt(stored);
        }
        params.findOrAdd("path")->value.setText(path);
        if (!p.folderKey.isEmpty()) {
            CString name;
            CAppData& scope = scopeOfKey(p.folderKey, name);
            CWriteSeqBuffer stream;
            if (CError* err = stream.writeString(path)) {
                logAndFree(err);
            } else {
                CByteBuffer bytes;
                stream.moveTo(bytes);
                scope.write(name, bytes, nullptr, kTagAppData);
            }
        }
        logAndFree(CNotifyServer::dispatchEventById(request->registryId, request->owner, p.resultEvent, &params));
    }
    postStep(&CFileDialog::postedClose, id);
}

void CFileDialog::closeRequest(std::int32_t id) {
    CFileDialog& self = instance();
    std::unique_ptr<Request> request;
    {
        std::lock_guard lock(self.mMutex);
        const auto it = self.mPending.find(id);
        if (it == self.mPending.end())
            return;
        request = std::move(it->second);
        self.mPending.erase(it);
    }
    stopPolling(*request);
}

void CFileDialog::cancelRequestsOf(std::int32_t registryId) {
    CFileDialog& self = instance();
    std::vector<std::int32_t> ids;
    {
        std::lock_guard lock(self.mMutex);
        for (const auto& [id, request] : self.mPending)
            if (request->registryId == registryId)
                ids.push_back(id);
    }
    for (std::int32_t id : ids)
        closeRequest(id);
}

int CFileDialog::pendingCount() {
    CFileDialog& self = instance();
    std::lock_guard lock(self.mMutex);
    return int(self.mPending.size());
}

bool CFileDialog::isPending(std::int32_t id) {
    CFileDialog& self = instance();
    std::lock_guard lock(self.mMutex);
    return self.mPending.count(id) != 0;
}

} // namespace tal
