// Lets the toolkit handle pending paint, size, show and focus-change events, and nothing else:
// keys, mouse, timers and posted commands stay queued until the thread returns to an event
// loop, so nothing can re-enter the update while it runs.
#pragma once

void LetPaintEventsThrough();
