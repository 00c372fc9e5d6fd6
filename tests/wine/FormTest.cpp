// The form layer's own duties, on a bare form.
#include "Controls.h"
#include "Form.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// Records the handle the form holds while each message after WM_DESTROY is handled.
class RecordingForm : public winui::Form {
public:
    RecordingForm() { CreateWindowFrame(L"form", 120, 80, WS_OVERLAPPEDWINDOW, nullptr); }
    std::vector<std::pair<UINT, HWND>> afterDestroy;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (destroyed_) afterDestroy.emplace_back(message, Handle());
        if (message == WM_DESTROY) destroyed_ = true;
        return DefaultHandling(message, wParam, lParam);
    }

private:
    bool destroyed_ = false;
};

TEST(Form, MessagesAfterDestroyAreHandledForTheirWindow)
{
    RecordingForm form;
    const HWND window = form.Handle();
    form.Close();
    EXPECT_EQ(form.Handle(), nullptr);
    ASSERT_FALSE(form.afterDestroy.empty());
    EXPECT_EQ(form.afterDestroy.back().first, static_cast<UINT>(WM_NCDESTROY));
    for (const auto& [message, handle] : form.afterDestroy) EXPECT_EQ(handle, window) << message;
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE); // posted by the close
}

class BareForm : public winui::Form {
public:
    BareForm() { CreateWindowFrame(L"form", 300, 200, WS_OVERLAPPEDWINDOW, nullptr); }
};

TEST(Memo, AddedLinesFollowWhatIsThere)
{
    const std::wstring longLine(300, L'x'); // wraps several times in the memo's width
    struct Case {
        const char* what;
        std::wstring before;
        std::vector<std::wstring> added;
        std::vector<std::wstring> after;
    } cases[] = {
        {"empty", L"", {L"a"}, {L"a"}},
        {"typed text without a break", L"typed", {L"a", L"b"}, {L"typed", L"a", L"b"}},
        {"text ending in a break", L"done\r\n", {L"a"}, {L"done", L"a"}},
        {"wrapped line without a break", longLine, {L"a"}, {longLine, L"a"}},
        {"wrapped line with a break", longLine + L"\r\n", {L"a"}, {longLine, L"a"}},
        {"nothing added", L"kept", {}, {L"kept"}},
        {"empty line added", L"", {L"", L"a"}, {L"", L"a"}},
    };
    BareForm form;
    winui::Memo memo;
    memo.Create(form, form.Handle(), 1, {10, 10, 200, 120}, {});
    memo.SetText(longLine);
    ASSERT_GT(SendMessageW(memo.Handle(), EM_GETLINECOUNT, 0, 0), 2); // it does wrap
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        memo.SetText(c.before);
        memo.AddLines(c.added);
        EXPECT_EQ(memo.Lines(), c.after);
    }
    memo.SetText(L"typed");
    memo.AddLine(L"one");
    memo.AddLine(L"two");
    EXPECT_EQ(memo.Text(), L"typed\r\none\r\ntwo\r\n");
}

} // namespace
