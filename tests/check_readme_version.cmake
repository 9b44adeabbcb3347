# The README states the version the build makes (PROJECT_VERSION, the one place it is set).
file(READ ${README} text)
string(REPLACE "." "\\." escaped ${VERSION})
if(NOT text MATCHES "Version ${escaped}\\.")
  message(FATAL_ERROR "README.md does not say \"Version ${VERSION}.\"")
endif()
