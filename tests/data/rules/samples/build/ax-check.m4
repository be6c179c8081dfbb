AC_DEFUN([AX_CHECK_CFLAG], [
  AC_MSG_CHECKING([whether $CC accepts $1])
  ac_save_CFLAGS=$CFLAGS
  eval "CFLAGS=\"$CFLAGS $1\""
  AC_COMPILE_IFELSE([AC_LANG_PROGRAM()], [], [])
])
