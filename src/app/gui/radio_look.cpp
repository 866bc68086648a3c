#include "app/gui/radio_look.hpp"

#include <wx/radiobut.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace {

#ifdef __WXGTK__
GtkCssProvider* RingStyle() {
    static GtkCssProvider* const provider = [] {
        GtkCssProvider* p = gtk_css_provider_new();
        gtk_css_provider_load_from_data(p,
                                        "radio { border: 1px solid #5A5A5A; "
                                        "background-image: none; background-color: #FFFFFF; "
                                        "color: #000000; }",
                                        -1, nullptr);
        return p;
    }();
    return provider;
}
#endif

}  // namespace

void MakeRadioRingVisible(wxRadioButton& radio) {
#ifdef __WXGTK__
    GtkWidget* widget = radio.GetHandle();
    if (widget != nullptr) {
        gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                       GTK_STYLE_PROVIDER(RingStyle()),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
#else
    (void)radio;
#endif
}
