// Qt converts and scales large images on its global thread pool and waits
// for the pieces; a thread of that pool that cannot be created (as when a
// large picture has just taken the memory) leaves its piece undone and the
// program waiting for ever.  The pool's threads are therefore made once, at
// the start, while there is memory for them, and kept.
#pragma once

// Makes the global pool's threads and keeps them to the end.  Waits for
// nothing: a thread that cannot be made now is simply not there.
void KeepImageThreadsReady();
