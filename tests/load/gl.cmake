oruvane_test(load_gl_tests LABEL gl
  SOURCES load_gl_test.cpp
  LIBS oruvane_runner)
