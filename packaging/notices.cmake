# Writes OUT: the notices of the libraries a release carries, one after another, each the
# copyright file its Debian package installs (the libraries are built from those packages'
# sources). cmake -DOUT=FILE -DTITLE=TEXT -DPACKAGES=pkg,pkg,... -P notices.cmake
set(text "${TITLE}\n\nThis release contains the following libraries; their notices and licenses follow.\n")
string(REPLACE "," ";" PACKAGES "${PACKAGES}")
foreach(package ${PACKAGES})
  set(file /usr/share/doc/${package}/copyright)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "no ${file}: install ${package}")
  endif()
  file(READ ${file} body)
  string(APPEND text "\n==============================================================================\n"
                     "${package} (Debian package ${package})\n"
                     "==============================================================================\n\n${body}")
endforeach()
file(WRITE ${OUT}.part "${text}")
file(RENAME ${OUT}.part ${OUT})
