program
  .option('--yolo', 'skip confirmation of file deletion')
  .option('--dry-run', 'print what would be deleted');
module.exports = program;
