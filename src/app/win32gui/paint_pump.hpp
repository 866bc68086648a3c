// What gets through while the one thread runs the update: only painting. Keys and mouse clicks
// that arrive meanwhile stay queued, and are thrown away before the next dialog opens, so that a
// key pressed during the transfer cannot answer (and hide) the message that follows it.
#pragma once

class CPaintOnlyPump {
  public:
    // Dispatches the pending paint messages (and the messages other threads send); every other
    // message stays queued. Marks the queued input as held back.
    void LetPaintThrough();
    // Removes the keyboard and mouse input queued while only painting got through; does nothing
    // when the pump has not run since the last call. Returns how many messages it removed.
    int DiscardInputHeldBack();

  private:
    bool m_inputHeldBack = false;
};
