#include "app/gui/native_dialog.hpp"

#include <wx/window.h>

#include <algorithm>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

wxSize FitDialogSize(wxSize natural, wxSize minimum, wxSize limit) {
    return wxSize(std::max(std::min(natural.x, limit.x), minimum.x),
                  std::max(std::min(natural.y, limit.y), minimum.y));
}

wxSize FileDialogLimit(const ViewRect& view) {
    return wxSize(view.Width() - view.Width() / 5, view.Height() - view.Height() / 5);
}

CNativeDialogWindow::CNativeDialogWindow(wxWindow& dialog, wxSize decorations)
    : m_dialog(dialog), m_decorations(decorations) {}

#ifdef __WXGTK__

namespace {

GtkWindow* NativeWindow(wxWindow& dialog) {
    GtkWidget* widget = dialog.GetHandle();
    return widget != nullptr && GTK_IS_WINDOW(widget) ? GTK_WINDOW(widget) : nullptr;
}

}  // namespace

void CNativeDialogWindow::GetOuterSize(int32_t* width, int32_t* height) {
    int w = m_fittedSize.x;
    int h = m_fittedSize.y;
    GtkWindow* window = NativeWindow(m_dialog);
    if (window != nullptr && m_fittedSize == wxDefaultSize) {
        gtk_window_get_size(window, &w, &h);
    }
    *width = w + m_decorations.x;
    *height = h + m_decorations.y;
}

void CNativeDialogWindow::MoveTo(int32_t left, int32_t top) {
    if (GtkWindow* window = NativeWindow(m_dialog)) {
        gtk_window_move(window, left, top);
    }
}

void CNativeDialogWindow::FitInto(wxSize limit) {
    GtkWindow* window = NativeWindow(m_dialog);
    if (window == nullptr) {
        return;
    }
    GtkRequisition minimum;
    gtk_widget_get_preferred_size(GTK_WIDGET(window), &minimum, nullptr);
    int w = 0;
    int h = 0;
    gtk_window_get_size(window, &w, &h);
    const wxSize size =
        FitDialogSize(wxSize(w, h), wxSize(minimum.width, minimum.height), limit - m_decorations);
    gtk_window_resize(window, size.x, size.y);
    m_fittedSize = size;  // the window reports its new size only once the resize is done
}

#else

void CNativeDialogWindow::GetOuterSize(int32_t* width, int32_t* height) {
    const wxSize size = m_dialog.GetSize();
    *width = size.x;
    *height = size.y;
}

void CNativeDialogWindow::MoveTo(int32_t left, int32_t top) {
    m_dialog.Move(left, top);
}

void CNativeDialogWindow::FitInto(wxSize limit) {
    m_dialog.SetSize(FitDialogSize(m_dialog.GetSize(), m_dialog.GetMinSize(), limit));
}

#endif
