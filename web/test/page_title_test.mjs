// Opens a web page made by Kelmira in headless Chromium and checks that its title is shown
// as the very text given, makes no element and runs nothing, and that the page's policy
// lets no inline handler run whatever gets onto the page.
// Usage: node page_title_test.mjs PAGE.html EXPECTED_TITLE
import { chromium } from 'playwright-core';
import { pathToFileURL } from 'node:url';
import assert from 'node:assert/strict';

const [page, expected] = process.argv.slice(2);
const browser = await chromium.launch({
  executablePath: process.env.KELMIRA_CHROMIUM || '/usr/bin/chromium',
  args: ['--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
         '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run',
         '--disable-quic'],
});
try {
  const tab = await browser.newPage({ viewport: { width: 800, height: 500 } });
  const dialogs = [];
  tab.on('dialog', async (dialog) => { dialogs.push(dialog.message()); await dialog.dismiss(); });
  const problems = [];
  tab.on('pageerror', (error) => problems.push(String(error)));
  await tab.goto(pathToFileURL(page).href);
  await tab.waitForFunction(() => document.querySelector('.pnlm-load-box')?.style.display === 'none' &&
                                  document.querySelector('canvas') !== null, null, { timeout: 60000 });
  await tab.waitForTimeout(300);
  const shown = await tab.evaluate(() => {
    const box = document.querySelector('.pnlm-title-box');
    return { text: box?.textContent, children: box?.children.length, images: document.querySelectorAll('img').length,
             title: document.title };
  });
  // Markup put onto the page all the same: its handler must not run.
  const policy = await tab.evaluate(() => new Promise((resolve) => {
    let refused = '';
    document.addEventListener('securitypolicyviolation', (event) => { refused ||= event.effectiveDirective; });
    document.body.insertAdjacentHTML('beforeend', '<img id="probe" src="x" onerror="window.handlerRan = true">');
    setTimeout(() => resolve({ ran: window.handlerRan === true, refused }), 500);
  }));
  console.log(JSON.stringify({ shown, policy, dialogs, problems }));
  assert.equal(shown.text, expected, 'the title shows as given');
  assert.equal(shown.children, 0, 'no element made from the title');
  assert.equal(shown.images, 0, 'no picture element on the page');
  assert.equal(shown.title, expected, 'the window title is the text given');
  assert.deepEqual(dialogs, [], 'nothing ran');
  assert.deepEqual(problems, [], 'no script errors');
  assert.equal(policy.ran, false, 'no inline handler runs');
  assert.match(policy.refused, /^script-src/, 'the policy refused the handler');
} finally {
  await browser.close();
}
