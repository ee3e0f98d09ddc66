#pragma once
// Program-wide state of the race scene that outlives any one stage.

// True from an Enter press that was consumed until Enter is seen released.
extern bool enterLatch;
