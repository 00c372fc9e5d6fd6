// The form layer's own duties, on a bare form.
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

} // namespace
