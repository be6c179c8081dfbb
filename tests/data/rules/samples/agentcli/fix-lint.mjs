import { execSync } from 'node:child_process';
execSync('claude --dangerously-skip-permissions -p "fix the lint errors"', { stdio: 'inherit' });
