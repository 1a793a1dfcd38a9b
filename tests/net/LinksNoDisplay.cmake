# Fails when PROGRAM needs a Qt library that draws (Gui, Widgets): a program
# built on the socket library must run where there is no display.
execute_process(COMMAND ldd "${PROGRAM}" OUTPUT_VARIABLE needed RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "ldd could not read ${PROGRAM}")
endif()
if(NOT needed MATCHES "libQt6Core")
  message(FATAL_ERROR "${PROGRAM} does not link Qt Core: the check reads the wrong program")
endif()
if(needed MATCHES "libQt6(Gui|Widgets|OpenGL)")
  message(FATAL_ERROR "${PROGRAM} needs a display library:\n${needed}")
endif()
