// Shared math library (macros first, then functions).
