// Lets the toolkit handle pending paint, size, show and focus-change events, and nothing else:
// keys, mouse, timers and posted commands stay queued until the thread returns to an event
// loop, so nothing can re-enter the update while it runs.
#pragma once

void LetPaintEventsThrough();

// Drops the keys and mouse clicks held back while the update ran (typed under the busy cursor),
// so that none of them answers the dialog that comes next unseen. Paint events still go through.
void DiscardHeldBackInput();
