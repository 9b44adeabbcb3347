# jxel_write_if_changed(<path> <content>): writes the file only when its content differs,
# so that an unchanged file keeps its time stamp and what depends on it is not rebuilt.
function(jxel_write_if_changed path content)
  file(WRITE ${path}.new "${content}")
  file(COPY_FILE ${path}.new ${path} ONLY_IF_DIFFERENT)
  file(REMOVE ${path}.new)
endfunction()
