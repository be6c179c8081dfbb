import subprocess
subprocess.run(['gemini', '--yolo', '-p', 'apply the review comments'])
