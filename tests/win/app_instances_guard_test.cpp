// The single-instance guard inside this process: its shared objects, its window and how the
// window answers the other copies' messages. (Real second starts: app_instances_start_test.cpp.)
#include "app/app_instances_win.h"
#include "app/instance_list.h"
#include "base/text.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cctype>

namespace corvalo::test {
namespace {

std::string AnsiPath(const TempFolder& folder, const wchar_t* name = L"corvalo.exe") {
    return WideToAnsi(folder.File(name));
}

// A list block as any process sees it, opened by name.
class OpenedList {
  public:
    explicit OpenedList(const std::string& name)
        : mapping_(OpenFileMappingA(FILE_MAP_ALL_ACCESS | READ_CONTROL, FALSE, name.c_str())),
          view_(mapping_
                    ? MapViewOfFile(mapping_.Get(), FILE_MAP_ALL_ACCESS, 0, 0, kInstanceListBytes)
                    : nullptr) {}
    bool Valid() const { return view_.Valid(); }
    InstanceList List() const {
        return InstanceList(std::span<uint8_t, kInstanceListBytes>(
            static_cast<uint8_t*>(view_.Get()), kInstanceListBytes));
    }
    HANDLE Mapping() const { return mapping_.Get(); }

  private:
    ScopedKernelHandle mapping_;
    ScopedMappedView view_;
};

// The account SIDs that the block's access list grants access to, in text form.
std::vector<std::wstring> GrantedSids(HANDLE object) {
    std::vector<std::wstring> sids;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return sids;
    ScopedLocalMemory owner(descriptor);
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace) ||
            static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
        LPWSTR text = nullptr;
        if (ConvertSidToStringSidW(sid, &text)) {
            ScopedLocalMemory textOwner(text);
            sids.emplace_back(text);
        }
    }
    return sids;
}

std::wstring CurrentUserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    ScopedKernelHandle owner(token);
    BYTE buffer[256];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size))
        return {};
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text))
        return {};
    ScopedLocalMemory textOwner(text);
    return text;
}

TEST(InstanceGuard, RegistersTheProcessInEveryListNamedAfterThePath) {
    TempFolder folder;
    const std::string path = AnsiPath(folder);
    std::unique_ptr<AppInstances> guard = std::make_unique<AppInstances>(AppInstancesOptions(path));
    ASSERT_TRUE(guard->Registered());
    const InstanceNames names = guard->Names();

    // The temporary path is plain ASCII here, so upper-casing it is simple.
    std::string identity = "JCL" + path;
    for (char& c : identity)
        c = c == '\\' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(names.identity, identity);
    EXPECT_EQ(RegisterWindowMessageA((identity + "_Msg").c_str()), guard->Message());
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    EXPECT_EQ(names.sessionCopies, identity + "_Session_" + std::to_string(session));
    char user[257] = {};
    DWORD userLength = sizeof(user);
    GetUserNameA(user, &userLength);
    EXPECT_EQ(names.userCopies.rfind(identity + "_User_" + user + "_", 0), 0u);

    // The lock's event and shared block exist under their names.
    ScopedKernelHandle lockEvent(
        OpenEventA(SYNCHRONIZE, FALSE, ("Optex_Event_" + identity + "_Otx").c_str()));
    EXPECT_TRUE(lockEvent);
    ScopedKernelHandle lockBlock(
        OpenFileMappingA(FILE_MAP_READ, FALSE, ("Optex_MMF_" + identity + "_Otx").c_str()));
    EXPECT_TRUE(lockBlock);

    OpenedList all(identity + "_All");
    OpenedList perSession(names.sessionCopies);
    OpenedList perUser(names.userCopies);
    ASSERT_TRUE(all.Valid() && perSession.Valid() && perUser.Valid());
    for (const OpenedList* list : {&all, &perSession, &perUser})
        EXPECT_EQ(list->List().Entries(), std::vector<uint32_t>{GetCurrentProcessId()});
    EXPECT_EQ(all.List().MaxCount(), 65535);
    EXPECT_EQ(perSession.List().MaxCount(), 0);
    EXPECT_EQ(perUser.List().MaxCount(), 0);

    // The guard window: hidden, no size, a pop-up tool window of its own class.
    HWND window = guard->Window();
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_STREQ(className, L"JvAppInstances_WindowClass");
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_POPUP);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetParent(window), nullptr);
    RECT bounds{};
    GetWindowRect(window, &bounds);
    EXPECT_EQ(bounds.right - bounds.left, 0);
    EXPECT_EQ(bounds.bottom - bounds.top, 0);

    // The first copy of its path runs.
    EXPECT_TRUE(guard->Check());

    // At the end the process leaves every list, so the next start is the first again.
    guard.reset();
    for (const OpenedList* list : {&all, &perSession, &perUser})
        EXPECT_EQ(list->List().Count(), 0u);
}

TEST(InstanceGuard, TheListsGrantAccessToEveryoneOrToTheUser) {
    TempFolder folder;
    AppInstances guard(AppInstancesOptions(AnsiPath(folder)));
    OpenedList all(guard.Names().allCopies);
    OpenedList perSession(guard.Names().sessionCopies);
    OpenedList perUser(guard.Names().userCopies);
    const std::vector<std::wstring> everyone = {L"S-1-1-0"};
    EXPECT_EQ(GrantedSids(all.Mapping()), everyone);
    EXPECT_EQ(GrantedSids(perSession.Mapping()), everyone);
    EXPECT_EQ(GrantedSids(perUser.Mapping()), std::vector<std::wstring>{CurrentUserSid()});
}

TEST(InstanceGuard, GuardsOfOneProcessShareItsRegistration) {
    TempFolder folder;
    auto first = std::make_unique<AppInstances>(AppInstancesOptions(AnsiPath(folder)));
    auto second = std::make_unique<AppInstances>(AppInstancesOptions(AnsiPath(folder)));
    OpenedList all(first->Names().allCopies);
    EXPECT_EQ(all.List().Entries(), std::vector<uint32_t>{GetCurrentProcessId()});
    EXPECT_TRUE(second->Check());
    first.reset();
    EXPECT_EQ(all.List().Count(), 1u) << "released while a guard of the process remains";
    second.reset();
    EXPECT_EQ(all.List().Count(), 0u);

    // Another path is another registration.
    AppInstances one(AppInstancesOptions(AnsiPath(folder, L"one.exe")));
    AppInstances two(AppInstancesOptions(AnsiPath(folder, L"two.exe")));
    EXPECT_NE(one.Names().allCopies, two.Names().allCopies);
    EXPECT_NE(one.Message(), two.Message());
    EXPECT_EQ(OpenedList(two.Names().allCopies).List().Count(), 1u);
}

// Records the messages a plain window gets.
std::vector<UINT> recordedMessages;
LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    recordedMessages.push_back(message);
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(InstanceGuard, AnswersTheActiveQueryOfAnotherGuardOnly) {
    TempFolder folder;
    AppInstances answering(AppInstancesOptions(AnsiPath(folder)));
    AppInstances asking(AppInstancesOptions(AnsiPath(folder)));
    const UINT message = answering.Message();
    const LPARAM asker = reinterpret_cast<LPARAM>(asking.Window());

    answering.SetActive(false);
    EXPECT_EQ(SendMessageW(answering.Window(), message, kInstanceActiveQuery, asker), 0);
    EXPECT_FALSE(asking.Active());
    answering.SetActive(true);
    SendMessageW(answering.Window(), message, kInstanceActiveQuery, asker);
    EXPECT_TRUE(asking.Active());

    // An answer sets the guard's state directly.
    SendMessageW(asking.Window(), message, kInstanceActiveAnswer, 0);
    EXPECT_FALSE(asking.Active());
    SendMessageW(asking.Window(), message, kInstanceActiveAnswer, 1);
    EXPECT_TRUE(asking.Active());

    // A query naming a window that is not a guard gets no answer sent anywhere.
    WNDCLASSW recorderClass{};
    recorderClass.lpfnWndProc = RecordingProcedure;
    recorderClass.hInstance = GetModuleHandleW(nullptr);
    recorderClass.lpszClassName = L"CorvaloTestRecorder";
    RegisterClassW(&recorderClass);
    ScopedWindow recorder(CreateWindowExW(0, L"CorvaloTestRecorder", L"", WS_POPUP, 0, 0, 0, 0,
                                          nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(recorder);
    recordedMessages.clear();
    SendMessageW(answering.Window(), message, kInstanceActiveQuery,
                 reinterpret_cast<LPARAM>(recorder.Get()));
    EXPECT_EQ(std::count(recordedMessages.begin(), recordedMessages.end(), message), 0);
    SendMessageW(answering.Window(), message, kInstanceActiveQuery, 12345);  // no window at all
    SendMessageW(answering.Window(), message, kInstanceUserNotify, 7);       // nothing to do
    EXPECT_TRUE(answering.Active());
}

TEST(InstanceGuard, TakesCopyDataFromAnotherGuardAndAnswersHandled) {
    TempFolder folder;
    AppInstances guard(AppInstancesOptions(AnsiPath(folder)));
    AppInstances other(AppInstancesOptions(AnsiPath(folder)));
    std::vector<std::pair<ULONG_PTR, std::string>> received;
    guard.onDataAvailable = [&](ULONG_PTR kind, std::string_view data) {
        received.emplace_back(kind, std::string(data));
    };
    std::string text = "a b\r\n\r\n";
    COPYDATASTRUCT data{kCommandLineDataKind, static_cast<DWORD>(text.size()), text.data()};
    EXPECT_EQ(SendMessageW(guard.Window(), WM_COPYDATA, reinterpret_cast<WPARAM>(other.Window()),
                           reinterpret_cast<LPARAM>(&data)),
              1);
    COPYDATASTRUCT empty{kCommandLineDataKind, 0, nullptr};
    EXPECT_EQ(SendMessageW(guard.Window(), WM_COPYDATA, reinterpret_cast<WPARAM>(other.Window()),
                           reinterpret_cast<LPARAM>(&empty)),
              1);
    const std::vector<std::pair<ULONG_PTR, std::string>> expected = {{1, text}, {1, ""}};
    EXPECT_EQ(received, expected);

    // What a guard sends itself is left to the platform.
    EXPECT_EQ(SendMessageW(guard.Window(), WM_COPYDATA, reinterpret_cast<WPARAM>(guard.Window()),
                           reinterpret_cast<LPARAM>(&data)),
              0);
    EXPECT_EQ(received.size(), 2u);
}

TEST(InstanceGuard, RunsAsASingleCopyWhenItsSharedObjectsCannotBeMade) {
    TempFolder folder;
    const std::string path = AnsiPath(folder);
    InstanceNames names;
    {
        AppInstances probe(AppInstancesOptions{path});
        names = probe.Names();
    }
    // Each shared object's name taken in turn by an object of another kind.
    for (const std::string& taken : {names.lockEvent, names.lockBlock, names.lockMutex,
                                     names.allCopies, names.sessionCopies, names.userCopies}) {
        const bool takenByEvent = taken.rfind("Optex_Event_", 0) != 0;
        ScopedKernelHandle squatter(takenByEvent ? CreateEventA(nullptr, TRUE, FALSE, taken.c_str())
                                                 : CreateMutexA(nullptr, FALSE, taken.c_str()));
        ASSERT_TRUE(squatter) << taken;
        AppInstances guard(AppInstancesOptions{path});
        EXPECT_FALSE(guard.Registered()) << taken;
        EXPECT_TRUE(guard.Names().allCopies.empty());
        EXPECT_TRUE(guard.Check()) << taken;
        EXPECT_TRUE(IsWindow(guard.Window()));
        // Nothing of a half-made registration stays behind.
        if (taken != names.allCopies) {
            EXPECT_FALSE(OpenedList(names.allCopies).Valid()) << taken;
        }
    }
}

}  // namespace
}  // namespace corvalo::test
