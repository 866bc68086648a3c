// The tool's document: empty. A new document only re-runs the view's initial update; storing
// and loading do nothing.
#pragma once

class CTk358fwDoc {
  public:
    bool OnNewDocument() { return true; }
};
