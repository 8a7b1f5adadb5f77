// STUB: to be implemented (span shading and fog).
