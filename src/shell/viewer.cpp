// STUB: to be implemented (GLUT viewer).
